#pragma once

#include <QDialog>
#include <QLineEdit>
#include <QRadioButton>
#include <array>

#include "image/ColorFormula.h"

namespace vx {

// Chooses the colour formula between YUV and RGB for the whole program: ITU-R
// 601, ITU-R 709 or a user-defined 6 x 4 matrix.
class CYUV2RGB_Formula : public QDialog {
  Q_OBJECT

 public:
  explicit CYUV2RGB_Formula(QWidget* parent = nullptr);

  void accept() override;
  // Asks before the formula changes; tests answer it.
  static inline const char* kQuestion =
      "By clicking on OK, you are going to change the conversion formula between YUV and RGB. \nFrom now on, "
      "the "
      "new formula will be used for display, conversion and all other processes!";

 private:
  void FillFields();
  void EnableFields(bool enabled);

  std::array<QRadioButton*, 3> radios_{};
  std::array<QLineEdit*, 24> fields_{};
  UserFormula matrix_{};
};

}  // namespace vx
