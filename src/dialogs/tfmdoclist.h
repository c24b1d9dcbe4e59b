#pragma once
// TfmDocList: the "Document List" dialog. Shows the documents packed in the archive of the song
// the list editor has selected; Read chooses one, Close none. With an empty list only Close works.

#include <QDialog>

#include <string>
#include <vector>

class QPushButton;

namespace kyro {

class MListBox;

class TfmDocList : public QDialog {
    Q_OBJECT
public:
    explicit TfmDocList(QWidget* owner = nullptr);

    // Shows the documents (CP932 member names) modally; the index read, or -1 for none.
    int Choose(const std::vector<std::string>& documents);

    void pbReadClick();

private:
    MListBox* lbDocList_ = nullptr;
    QPushButton* pbRead_ = nullptr;
    QPushButton* pbClose_ = nullptr;
    int chosen_ = -1;
};

}  // namespace kyro
