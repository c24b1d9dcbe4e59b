// The player with its windows: what kyrotune runs unless it converts a song (main.cpp). It lives in
// libkyrotune-app.so, which kyrotune loads only then.
#include "app/application.h"
#include "app/programfolder.h"
#include "app/singleinstance.h"
#include "app/windowedmain.h"
#include "platform/musicfolder.h"
#include "platform/messagebox_qt.h"
#include "widgets/fonts.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QMessageBox>

#include <exception>
#include <optional>

int KyroWindowedMain(int argc, char** argv) {
    kyro::InstallJapaneseFontSubstitutes();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kyrotune Lzh NT/95 Ver 2.52"));
    QApplication::setApplicationVersion(QStringLiteral("2.52"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Kyrotune MIDI jukebox"));
    // --help and --version never come here: the executable answers them without a display (main.cpp).
    QCommandLineOption folderOption(QStringLiteral("folder"),
                                    QStringLiteral("Use DIR as the program folder (settings, lists, reset files)."),
                                    QStringLiteral("DIR"));
    parser.addOption(folderOption);
    parser.addPositionalArgument(QStringLiteral("files"), QStringLiteral("Song files to test-play (the first playable one)."),
                                 QStringLiteral("[FILE...]"));
    parser.process(app);

    kyro::AppContext context;
    context.exeFolderNative = QDir(QApplication::applicationDirPath()).absolutePath().toStdString();
    const kyro::ProgramFolderChoice programFolder = kyro::ChooseProgramFolder(
        context.exeFolderNative,
        parser.isSet(folderOption) ? std::optional(parser.value(folderOption).toStdString()) : std::nullopt,
        kyro::DataFolderEnvironment::FromProcess());
    context.programFolderNative = programFolder.folder;
    context.newProgramFolder = programFolder.madeNow;
    context.musicFolderNative = kyro::MusicFolder(kyro::UserFolderEnvironment::FromProcess());
    context.env = kyro::StartupEnvironment::FromProcess();
    if (!programFolder.error.empty()) {
        QMessageBox::critical(nullptr, QString::fromUtf8(kyro::kMessageCaption),
                              QString::fromStdString(programFolder.error));
        return 1;
    }
    for (const QString& file : parser.positionalArguments())
        context.filesToOpen.push_back(QFileInfo(file).absoluteFilePath().toStdString());

    // A second start on the same program folder hands its files to the first and ends.
    kyro::InstanceLock lock(context.programFolderNative);
    if (lock.HeldElsewhere()) {
        if (!kyro::TellRunningInstance(context.programFolderNative, context.filesToOpen))
            qWarning("Kyrotune is already running on this program folder.");
        return 0;
    }
    context.soleWriter = lock.Held();
    kyro::InstanceChannel instance(context.programFolderNative);

    kyro::InstallQtMessagePresenter();
    try {
        return kyro::RunProgram(context, &instance);
    } catch (const std::exception& e) {
        QMessageBox::critical(nullptr, QString::fromUtf8(kyro::kMessageCaption), QString::fromLocal8Bit(e.what()));
        return 1;
    }
}
