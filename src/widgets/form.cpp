#include "widgets/form.h"

#include <QWidget>

namespace kyro {

void SetUpForm(QWidget* form, const char* formName, const QString& caption) {
    form->setObjectName(QString::fromLatin1(formName));
    form->setWindowTitle(caption);
}

QFont GothicFont(int pixels) {
    QFont font(QStringLiteral("ＭＳ ゴシック"));
    font.setPixelSize(pixels);
    return font;
}

}  // namespace kyro
