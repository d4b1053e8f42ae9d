#include "ui/display/GridDialog.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QMessageBox>
#include <QVBoxLayout>

#include "model/Settings.h"

namespace vx {
namespace {

QLineEdit* NumberEdit(QWidget* parent) {
  auto* edit = new QLineEdit(parent);
  edit->setMaximumWidth(52);
  edit->setValidator(new QIntValidator(-99999, 99999, edit));
  return edit;
}

// The range check of a dialog field: the value, or a message and the field focused.
bool InRange(QLineEdit* edit, int low, int high, int32_t& value) {
  bool ok = false;
  const int number = edit->text().trimmed().toInt(&ok);
  if (!ok || number < low || number > high) {
    QMessageBox::warning(edit->window(), QStringLiteral("Velutrix"),
                         QStringLiteral("Please enter an integer between %1 and %2.").arg(low).arg(high));
    edit->setFocus();
    edit->selectAll();
    return false;
  }
  value = number;
  return true;
}

}  // namespace

CGrid::CGrid(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("Display Grid Settings"));
  auto* note = new QLabel(
      QStringLiteral("Following grid parameters are global settings, and will be used for all image "
                     "displays,\n except for Data Overlay, Compare and Image Edit, which have their own grid "
                     "set up. "),
      this);
  note->setWordWrap(true);
  auto* groups = new QHBoxLayout;
  groups->addWidget(BuildGroup(0, QStringLiteral("Grid One")));
  groups->addWidget(BuildGroup(1, QStringLiteral("Grid Two")));
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &CGrid::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(note);
  layout->addLayout(groups);
  layout->addWidget(buttons);
  Load(0, CurrentSettings().Grid1);
  Load(1, CurrentSettings().Grid2);
}

QWidget* CGrid::BuildGroup(int grid, const QString& title) {
  auto* box = new QGroupBox(title, this);
  GridControls& c = grids_[grid];
  c.enable = new QCheckBox(QStringLiteral("Enable"), box);
  c.width = NumberEdit(box);
  c.height = NumberEdit(box);
  c.red = NumberEdit(box);
  c.green = NumberEdit(box);
  c.blue = NumberEdit(box);
  c.colour = new ColourButton(box);
  c.colour->setText(QStringLiteral("Grid Color"));
  c.transparency = new QSlider(Qt::Horizontal, box);
  c.transparency->setRange(0, 100);
  c.transparencyEdit = NumberEdit(box);

  auto* spacing = new QGroupBox(QStringLiteral("Spacing"), box);
  auto* spacingLayout = new QGridLayout(spacing);
  spacingLayout->addWidget(new QLabel(QStringLiteral("Width:")), 0, 0);
  spacingLayout->addWidget(c.width, 0, 1);
  spacingLayout->addWidget(new QLabel(QStringLiteral("Pixels")), 0, 2);
  spacingLayout->addWidget(new QLabel(QStringLiteral("Height:")), 1, 0);
  spacingLayout->addWidget(c.height, 1, 1);
  spacingLayout->addWidget(new QLabel(QStringLiteral("Pixels")), 1, 2);

  auto* colour = new QGroupBox(QStringLiteral("Color"), box);
  auto* colourLayout = new QGridLayout(colour);
  const std::pair<const char*, QLineEdit*> channels[] = {
      {"Red:", c.red}, {"Green:", c.green}, {"Blue:", c.blue}};
  int row = 0;
  for (const auto& [label, edit] : channels) {
    colourLayout->addWidget(new QLabel(QString::fromLatin1(label)), row, 0);
    colourLayout->addWidget(edit, row++, 1);
  }
  colourLayout->addWidget(c.colour, 0, 2, 3, 1);

  auto* display = new QGroupBox(QStringLiteral("Display"), box);
  auto* displayLayout = new QGridLayout(display);
  displayLayout->addWidget(new QLabel(QStringLiteral("Transparency")), 0, 0, 1, 3);
  displayLayout->addWidget(c.transparency, 1, 0);
  displayLayout->addWidget(c.transparencyEdit, 1, 1);
  displayLayout->addWidget(new QLabel(QStringLiteral("%")), 1, 2);

  auto* layout = new QVBoxLayout(box);
  layout->addWidget(c.enable);
  layout->addWidget(spacing);
  layout->addWidget(colour);
  layout->addWidget(display);

  // Typing a colour recolours the button; choosing one fills the edits.
  auto recolour = [c] {
    c.colour->setColour(QColor(std::clamp(c.red->text().toInt(), 0, 255),
                               std::clamp(c.green->text().toInt(), 0, 255),
                               std::clamp(c.blue->text().toInt(), 0, 255)));
  };
  for (QLineEdit* edit : {c.red, c.green, c.blue}) connect(edit, &QLineEdit::textEdited, this, recolour);
  connect(c.colour, &ColourButton::colourChosen, this, [c](const QColor& chosen) {
    c.red->setText(QString::number(chosen.red()));
    c.green->setText(QString::number(chosen.green()));
    c.blue->setText(QString::number(chosen.blue()));
  });
  connect(c.transparency, &QSlider::valueChanged, this, [this, c](int value) {
    c.transparencyEdit->setText(QString::number(value));
    if (parentWidget()) parentWidget()->update();
  });
  connect(c.transparencyEdit, &QLineEdit::textEdited, this, [c](const QString& text) {
    const int value = std::clamp(text.toInt(), 0, 100);
    if (QString::number(value) != text && !text.isEmpty())
      c.transparencyEdit->setText(QString::number(value));
    c.transparency->setValue(value);
  });
  return box;
}

void CGrid::Load(int grid, const GridSettings& s) {
  const GridControls& c = grids_[grid];
  c.enable->setChecked(s.Enabled != 0);
  c.width->setText(QString::number(s.HorizontalSpacing));
  c.height->setText(QString::number(s.VerticalSpacing));
  c.red->setText(QString::number(s.Color.Red));
  c.green->setText(QString::number(s.Color.Green));
  c.blue->setText(QString::number(s.Color.Blue));
  c.colour->setColour(QColor(std::clamp(s.Color.Red, 0, 255), std::clamp(s.Color.Green, 0, 255),
                             std::clamp(s.Color.Blue, 0, 255)));
  c.transparency->setValue(std::clamp(s.Transparency, 0, 100));
  c.transparencyEdit->setText(QString::number(s.Transparency));
}

bool CGrid::Read(int grid, GridSettings& out) {
  const GridControls& c = grids_[grid];
  out.Enabled = c.enable->isChecked() ? 1 : 0;
  if (!InRange(c.width, 2, 64, out.HorizontalSpacing) || !InRange(c.height, 2, 64, out.VerticalSpacing) ||
      !InRange(c.red, 0, 255, out.Color.Red) || !InRange(c.green, 0, 255, out.Color.Green) ||
      !InRange(c.blue, 0, 255, out.Color.Blue)) {
    return false;
  }
  // Grid two's transparency comes from its slider, which cannot leave 0..100.
  if (grid == 0) return InRange(c.transparencyEdit, 0, 100, out.Transparency);
  out.Transparency = c.transparency->value();
  return true;
}

void CGrid::accept() {
  GridSettings one, two;
  if (!Read(0, one) || !Read(1, two)) return;
  CurrentSettings().Grid1 = one;
  CurrentSettings().Grid2 = two;
  QDialog::accept();
}

}  // namespace vx
