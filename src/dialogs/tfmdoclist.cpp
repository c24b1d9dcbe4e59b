#include "dialogs/tfmdoclist.h"

#include "platform/cp932.h"
#include "widgets/form.h"
#include "widgets/mlistbox.h"

#include <QPushButton>

namespace kyro {

TfmDocList::TfmDocList(QWidget* owner) : QDialog(owner, Qt::Dialog) {
    SetUpForm(this, "fmDocList", QStringLiteral("Document List"));
    setFixedSize(260, 220);
    lbDocList_ = MakeControl<MListBox>(this, "lbDocList", {8, 8, 244, 170});
    pbRead_ = MakeControl<QPushButton>(this, "pbRead", {48, 186, 80, 26}, QStringLiteral("&Read"));
    pbRead_->setDefault(true);
    pbClose_ = MakeControl<QPushButton>(this, "pbClose", {136, 186, 80, 26}, QStringLiteral("&Close"));
    connect(pbRead_, &QPushButton::clicked, this, &TfmDocList::pbReadClick);
    connect(pbClose_, &QPushButton::clicked, this, &QDialog::reject);
    connect(lbDocList_, &QListWidget::itemDoubleClicked, this, &TfmDocList::pbReadClick);
}

int TfmDocList::Choose(const std::vector<std::string>& documents) {
    lbDocList_->clear();
    for (const std::string& name : documents) lbDocList_->addItem(Cp932ToQString(name));
    UpdateHorizontalExtent(*lbDocList_, documents);
    if (!documents.empty()) lbDocList_->setCurrentRow(0);
    pbRead_->setEnabled(!documents.empty());
    chosen_ = -1;
    exec();
    return chosen_;
}

void TfmDocList::pbReadClick() {
    if (lbDocList_->currentRow() < 0) return;
    chosen_ = lbDocList_->currentRow();
    accept();
}

}  // namespace kyro
