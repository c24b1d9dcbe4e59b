// Program entry: kyrotune [--folder DIR], or kyrotune --to-midi IN OUT [--folder DIR]
#include "app/application.h"
#include "app/tomidi.h"
#include "platform/messagebox_qt.h"
#include "widgets/fonts.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QMessageBox>

#include <exception>
#include <iostream>

int main(int argc, char** argv) {
    // The conversion runs before any window system is touched, so that it needs no display.
    if (kyro::AsksForMidiConversion(argc, argv)) return kyro::RunMidiConversion(argc, argv, std::cerr);

    kyro::InstallJapaneseFontSubstitutes();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kyrotune Lzh NT/95 Ver 2.52"));
    QApplication::setApplicationVersion(QStringLiteral("2.52"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Kyrotune MIDI jukebox"));
    parser.addHelpOption();
    QCommandLineOption folderOption(QStringLiteral("folder"),
                                    QStringLiteral("Use DIR as the program folder (settings, lists, reset files)."),
                                    QStringLiteral("DIR"));
    parser.addOption(folderOption);
    parser.process(app);

    kyro::AppContext context;
    context.exeFolderNative = QDir(QApplication::applicationDirPath()).absolutePath().toStdString();
    context.programFolderNative = parser.isSet(folderOption)
                                      ? QDir(parser.value(folderOption)).absolutePath().toStdString()
                                      : context.exeFolderNative;
    context.env = kyro::StartupEnvironment::FromProcess();
    if (!QDir(QString::fromStdString(context.programFolderNative)).exists()) {
        QMessageBox::critical(nullptr, QString::fromUtf8(kyro::kMessageCaption),
                              QStringLiteral("Program folder not found: %1").arg(parser.value(folderOption)));
        return 1;
    }

    kyro::InstallQtMessagePresenter();
    try {
        return kyro::RunProgram(context);
    } catch (const std::exception& e) {
        QMessageBox::critical(nullptr, QString::fromUtf8(kyro::kMessageCaption), QString::fromLocal8Bit(e.what()));
        return 1;
    }
}
