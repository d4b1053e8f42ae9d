#pragma once

#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <array>

#include "tools/Components.h"
#include "tools/Padding.h"
#include "ui/controls/ColourButton.h"
#include "ui/tools/ToolDialog.h"

namespace vx {

// "Image Padding": every frame placed in a larger picture.
class CYUVPadding : public ToolDialogOf<PaddingJob> {
  Q_OBJECT

 public:
  explicit CYUVPadding(QWidget* parent = nullptr);
  bool StartCommandLine(const CommandLineRequest& request, QWidget* mainWindow) override;
  // A source chosen without the pickers: the default target, the size boxes
  // preset to multiples of 16 and the label.
  void ChooseSource(const QString& path, const ImageFormat& format, int64_t frameCount);

 protected:
  bool ReadToolBoxes() override;
  void PlacePreview(int32_t width, int32_t height) override;
  void FollowChoices() override { ModeChosen(); }

 private:
  void BuildPaddingControls();
  void ModeChosen();
  // The target label for the boxes as they are.
  void UpdateTargetLabel();
  PaddingParameters BoxValues() const;

  QLineEdit *multipleWidth_, *multipleHeight_, *paddedWidth_, *paddedHeight_, *top_, *left_;
  QRadioButton *multiples_, *explicit_, *repeat_, *fill_;
  ColourButton* colour_;
  QGroupBox *sizeGroup_, *positionGroup_, *colourGroup_;
};

// "Split Y, U and V components into separate files".
class CYUVSeparate : public ToolDialogOf<SeparateJob> {
  Q_OBJECT

 public:
  explicit CYUVSeparate(QWidget* parent = nullptr);
  bool StartCommandLine(const CommandLineRequest& request, QWidget* mainWindow) override;
  void ChooseSource(const QString& path, const ImageFormat& format, int64_t frameCount);

 protected:
  bool ReadToolBoxes() override;

 private:
  std::array<NameRow, 3> rows_;
};

// "Merge separate Y, U and V component files into one YUV file".
class CYUVMerge : public ToolDialogOf<MergeJob> {
  Q_OBJECT

 public:
  explicit CYUVMerge(QWidget* parent = nullptr);
  bool StartCommandLine(const CommandLineRequest& request, QWidget* mainWindow) override;
  // Component `i` chosen without the pickers.
  void ChooseComponent(size_t i, const QString& path, const ImageFormat& format, int64_t frameCount);

 protected:
  bool ReadToolBoxes() override;
  void RefreshLabels() override;

 private:
  void BrowseComponent(size_t i);

  std::array<NameRow, 3> rows_;
  QRadioButton *asYuv_, *asRgb_;
  std::optional<size_t> lastChosen_;  // the component chosen last
};

}  // namespace vx
