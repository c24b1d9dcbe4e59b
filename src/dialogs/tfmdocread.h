#pragma once
// TfmDocRead: the "Document Reader" window. Shows one text document packed in the archive of the
// song the list editor has selected: it asks the editor for the document's path, unpacks it into
// the temporary folder, shows its text and deletes the unpacked copy. While it is open the
// editor's Document button is disabled, so that one document is read at a time.

#include <QWidget>

#include <cstddef>
#include <functional>
#include <string>
#include <utility>

class QPlainTextEdit;

namespace kyro {

class ArchiveLibrary;
class LinkTarget;
class TfmWait;

// What unpacking a document needs of the player. Asked again for every document: the system
// settings may have changed the temporary folder or the busy countdown meanwhile.
struct DocumentUnpacking {
    const ArchiveLibrary* library = nullptr;  // nullptr when not available
    std::string tempFolder;                   // DOS form, ending in "\"
    int unlhaBusy = 0;                        // seconds of the busy library's countdown
};

class TfmDocRead : public QWidget {
    Q_OBJECT
public:
    explicit TfmDocRead(QWidget* owner = nullptr);

    // A larger document, or one holding NUL bytes (not text), is refused rather than shown.
    static constexpr std::size_t kMaxDocumentBytes = 1024 * 1024;

    void SetEditor(LinkTarget* editor) { editor_ = editor; }
    void SetUnpacking(std::function<DocumentUnpacking()> unpacking) { unpacking_ = std::move(unpacking); }
    void SetWaitDialog(TfmWait* wait) { wait_ = wait; }

    const std::string& DocumentPath() const { return docPath_; }

    // The handlers.
    void FormShow();
    void FormClose();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    // Unpacks the document, waiting out a busy library; false when there is nothing to show.
    bool Unpack(const DocumentUnpacking& unpacking);
    void ShowDocument(const std::string& tempFolder);

    LinkTarget* editor_ = nullptr;
    std::function<DocumentUnpacking()> unpacking_;
    TfmWait* wait_ = nullptr;
    std::string docPath_;       // "D:\LZH\PACK.LZH->README.TXT"
    std::string unpackedPath_;  // its copy in the temporary folder
    QPlainTextEdit* edMemo_ = nullptr;
};

}  // namespace kyro
