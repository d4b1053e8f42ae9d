#include "ui/image/FormulaDialog.h"

#include <QButtonGroup>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QMessageBox>
#include <QVBoxLayout>
#include <cmath>
#include <cstdio>

#include "model/Settings.h"

namespace vx {
namespace {

const char* const k601Forward =
    "Y  =          (0.257 * R) + (0.504 * G) + (0.098 * B) + 16\nCb = U = -(0.148 * R) - (0.291 * G) + "
    "(0.439 * B) + "
    "128\nCr =  V =  (0.439 * R) - (0.368 * G) -   (0.071 * B) + 128\n ";
const char* const k601Inverse =
    "R = 1.164(Y - 16)                            + 1.596(V - 128)\nG = 1.164(Y - 16)  - 0.391(U - 128) - "
    "0.813(V - "
    "128)\nB = 1.164(Y - 16) + 2.018(U - 128)";
const char* const k709Forward =
    "Y  =          (0.183 * R) + (0.614 * G) + (0.062 * B) + 16\nCb = U = -(0.101 * R) - (0.338 * G) + "
    "(0.439 * B) + "
    "128\nCr =  V =  (0.439 * R) - (0.399 * G) - (0.040 * B) + 128\n ";
const char* const k709Inverse =
    "R = 1.164(Y - 16)                           + 1.793(V - 128)\nG = 1.164(Y - 16) - 0.213(U - 128) - "
    "0.534(V - "
    "128)\nB = 1.164(Y - 16) + 2.115(U - 128)";

QLabel* FormulaText(const char* text, QWidget* parent) {
  auto* label = new QLabel(QString::fromLatin1(text), parent);
  label->setFont(QFont(QStringLiteral("DejaVu Sans Mono"), 9));
  return label;
}

}  // namespace

CYUV2RGB_Formula::CYUV2RGB_Formula(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("Dialog"));
  const char* const names[3] = {
      "ITU-R 601 for SDTV:", "ITU-R 709 for HDTV:", "User Defined Conversion Formula:"};
  auto* group = new QButtonGroup(this);
  for (int i = 0; i < 3; ++i) {
    radios_[static_cast<size_t>(i)] = new QRadioButton(QString::fromLatin1(names[i]), this);
    radios_[static_cast<size_t>(i)]->setObjectName(QStringLiteral("formulaRadio%1").arg(i));
    group->addButton(radios_[static_cast<size_t>(i)], i);
  }
  auto* layout = new QVBoxLayout(this);
  const char* const texts[2][2] = {{k601Forward, k601Inverse}, {k709Forward, k709Inverse}};
  for (int i = 0; i < 2; ++i) {
    layout->addWidget(radios_[static_cast<size_t>(i)]);
    auto* pair = new QHBoxLayout;
    pair->addSpacing(24);
    pair->addWidget(FormulaText(texts[i][0], this));
    pair->addSpacing(16);
    pair->addWidget(FormulaText(texts[i][1], this));
    pair->addStretch();
    layout->addLayout(pair);
  }
  layout->addWidget(radios_[2]);
  auto* matrix = new QGridLayout;
  const char* const rowLabels[6] = {"Y =", "U =", "V =", "R =", "G =", "B ="};
  const char* const joiners[2][3] = {{"* R +", "* G +", "* B +"}, {"* Y +", "* U +", "* V +"}};
  for (int row = 0; row < 6; ++row) {
    matrix->addWidget(new QLabel(QString::fromLatin1(rowLabels[row]), this), row, 0);
    for (int col = 0; col < 4; ++col) {
      auto* edit = new QLineEdit(this);
      edit->setMaximumWidth(84);
      fields_[static_cast<size_t>(4 * row + col)] = edit;
      edit->setObjectName(QStringLiteral("matrixField%1").arg(4 * row + col));
      matrix->addWidget(edit, row, 1 + 2 * col);
      if (col < 3)
        matrix->addWidget(new QLabel(QString::fromLatin1(joiners[row / 3][col]), this), row, 2 + 2 * col);
    }
  }
  auto* indented = new QHBoxLayout;
  indented->addSpacing(24);
  indented->addLayout(matrix);
  indented->addStretch();
  layout->addLayout(indented);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &CYUV2RGB_Formula::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->addWidget(buttons);

  // The default matrix, unless a stored one has a complete first row.
  matrix_ = kDefaultUserFormula;
  const UserFormula& stored = CurrentSettings().User_Defined_Formula;
  if (stored[0] != 0 && stored[1] != 0 && stored[2] != 0 && stored[3] != 0) matrix_ = stored;
  const int formula = CurrentSettings().YUV2RGB_Formula;
  const int selected = formula == kItu601 || formula == kItu709 ? formula : kUserDefinedFormula;
  radios_[static_cast<size_t>(selected)]->setChecked(true);
  FillFields();
  EnableFields(selected == kUserDefinedFormula);
  connect(group, &QButtonGroup::idClicked, this, [this](int id) {
    if (id == kUserDefinedFormula) FillFields();
    EnableFields(id == kUserDefinedFormula);
  });
}

void CYUV2RGB_Formula::FillFields() {
  for (size_t i = 0; i < fields_.size(); ++i) {
    char text[64];
    std::snprintf(text, sizeof text, "%0.3f", static_cast<double>(matrix_[i]));
    fields_[i]->setText(QString::fromLatin1(text));
  }
}

void CYUV2RGB_Formula::EnableFields(bool enabled) {
  for (QLineEdit* f : fields_) f->setEnabled(enabled);
}

void CYUV2RGB_Formula::accept() {
  const auto answer = QMessageBox::question(this, QStringLiteral("Velutrix"), QString::fromLatin1(kQuestion),
                                            QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Cancel);
  if (answer != QMessageBox::Ok) return;
  int formula = kItu601;
  for (int i = 0; i < 3; ++i) {
    if (radios_[static_cast<size_t>(i)]->isChecked()) formula = i;
  }
  ProgramSettings& settings = CurrentSettings();
  settings.YUV2RGB_Formula = formula;
  if (formula == kUserDefinedFormula) {
    for (size_t i = 0; i < fields_.size(); ++i) {
      float value = 0;
      // A field that does not parse keeps its previous value.
      if (std::sscanf(fields_[i]->text().toLatin1().constData(), "%f", &value) == 1 && std::isfinite(value)) {
        matrix_[i] = value;
      }
    }
    settings.User_Defined_Formula = matrix_;
  }
  PublishColourFormula({.formula = settings.YUV2RGB_Formula, .user = settings.User_Defined_Formula});
  QDialog::accept();
}

}  // namespace vx
