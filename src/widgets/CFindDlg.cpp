#include "widgets/CFindDlg.h"

#include <QApplication>
#include <QCheckBox>
#include <QPushButton>
#include <QRadioButton>

#include "widgets/DialogUnits.h"
#include "widgets/TextFields.h"

namespace {
// Hex digits and the wildcard `?` (any digit).
bool IsHexText(const QString& text) {
    for (QChar c : text) {
        const char16_t u = c.unicode();
        const bool hex =
            (u >= '0' && u <= '9') || (u >= 'A' && u <= 'F') || (u >= 'a' && u <= 'f') || u == '?';
        if (!hex) return false;
    }
    return true;
}
}  // namespace

CFindDlg::CFindDlg(QWidget* parent) : QDialog(parent), beep([] { QApplication::beep(); }) {
    setWindowTitle("Find...");
    setFont(DialogFont());
    setFixedSize(DluSize(164, 75));

    text_ = new CLineField(this);
    text_->setGeometry(DluX(7), DluY(7), DluX(150), DluY(12));
    QFont fixed("Courier New");
    fixed.setPixelSize(15);
    fixed.setStyleHint(QFont::TypeWriter);
    text_->setFont(fixed);
    text_->setAccessibleName("Search text");

    const char* labels[4] = {"Hex Data", "Hex Data Unaligned", "String", "String Case sensitive"};
    for (int i = 0; i < 4; ++i) {
        radios_[i] = new QRadioButton(labels[i], this);
        radios_[i]->setGeometry(DluX(i < 2 ? 7 : 82), DluY(i % 2 == 0 ? 24 : 35),
                                DluX(i < 2 ? 74 : 80), DluY(10));
    }
    // Annotations are texts, so only the text kinds can search them.
    annotations_ = new QCheckBox("Notes and names too", this);
    annotations_->setGeometry(DluX(82), DluY(46), DluX(80), DluY(10));
    for (int i = 0; i < 4; ++i)
        connect(radios_[i], &QRadioButton::toggled, this,
                [this] { annotations_->setEnabled(!radios_[0]->isChecked() && !radios_[1]->isChecked()); });

    auto* find = new QPushButton("Find", this);
    find->setGeometry(DluX(56), DluY(60), DluX(48), DluY(13));
    find->setDefault(true);
    connect(find, &QPushButton::clicked, this, [this] { OnFind(false); });
    auto* all = new QPushButton("Find All", this);
    all->setGeometry(DluX(7), DluY(60), DluX(44), DluY(13));
    connect(all, &QPushButton::clicked, this, [this] { OnFind(true); });
    auto* cancel = new QPushButton("Cancel", this);
    cancel->setGeometry(DluX(109), DluY(60), DluX(48), DluY(13));
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void CFindDlg::Prepare() {
    text_->setText(pattern);
    text_->selectAll();
    text_->setFocus();
    const int shown = (mode >= kHexUnaligned && mode <= kStringCase) ? mode : kHexData;
    radios_[shown - 1]->setChecked(true);
    annotations_->setChecked(annotationsToo);
    annotations_->setEnabled(shown == kString || shown == kStringCase);
}

bool CFindDlg::Run() {
    Prepare();
    return exec() == QDialog::Accepted;
}

void CFindDlg::OnFind(bool all) {
    int chosen = kHexData;
    for (int m = kHexUnaligned; m <= kStringCase; ++m)
        if (radios_[m - 1]->isChecked()) chosen = m;
    const QString text = text_->text();
    // Hex searches take hex digits only; the dialog stays open for a correction.
    if ((chosen == kHexData || chosen == kHexUnaligned) && !IsHexText(text)) {
        if (beep) beep();
        return;
    }
    pattern = text;
    mode = chosen;
    findAll = all;
    annotationsToo = annotations_->isChecked();
    accept();
}
