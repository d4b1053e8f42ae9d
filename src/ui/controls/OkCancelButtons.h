#pragma once

#include <QDialog>
#include <QDialogButtonBox>

namespace vx {

// The Ok / Cancel row a settings dialog ends with: Ok runs the dialog's own
// accept (which checks the choices first), Cancel rejects.
inline QDialogButtonBox* MakeOkCancelButtons(QDialog* dialog) {
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, dialog);
  QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
  return buttons;
}

}  // namespace vx
