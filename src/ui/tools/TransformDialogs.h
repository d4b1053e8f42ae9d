#pragma once

#include <QLineEdit>
#include <functional>
#include <optional>
#include <string>

#include "tools/Crop.h"
#include "tools/Flip.h"
#include "tools/Join.h"
#include "ui/tools/ToolDialog.h"

namespace vx {

// "Flip The Images Vertically".
class CYUVFlip : public ToolDialogOf<FlipJob> {
  Q_OBJECT

 public:
  explicit CYUVFlip(QWidget* parent = nullptr);
  bool StartFromRequest(const QString& source, const QString& target, const ImageFormat& current);
  bool StartCommandLine(const CommandLineRequest& request, QWidget* mainWindow) override;
};

// "Area Cropping": a rectangle cut out of every frame.
class CImageCrop : public ToolDialogOf<CropJob> {
  Q_OBJECT

 public:
  explicit CImageCrop(QWidget* parent = nullptr);
  bool StartFromRequest(const QString& source, const QString& target, const ImageFormat& current, int32_t top,
                        int32_t left, int32_t height, int32_t width);
  bool StartCommandLine(const CommandLineRequest& request, QWidget* mainWindow) override;
  // A source chosen without the pickers: the default target, the rectangle set to
  // the whole picture and the first frame shown.
  bool ChooseSource(const QString& path, const ImageFormat& format, int64_t frameCount);

  // The validators the boxes run when their edit is finished; each shows at most
  // one message, and a refused value goes back to the box's last valid one.
  bool CheckTop();
  bool CheckLeft();
  bool CheckWidth();
  bool CheckHeight();

 protected:
  bool ReadToolBoxes() override;

 private:
  using CropRule = std::function<std::optional<std::string>(int32_t)>;
  // Reads `box`: a value `rule` accepts becomes `field` (the target's size and the
  // outline follow); a refused one is replaced by `field` and its message shown.
  bool Accept(QLineEdit* box, int32_t& field, const CropRule& rule);
  void ShowRectangle();
  void UpdateOutline();
  QLineEdit *top_, *left_, *width_, *height_;
  QGroupBox* area_;
  bool reporting_ = false;  // a refusal's message box is open
};

// "Join Two YUV Files Into One File".
class CJoinFile : public ToolDialogOf<JoinJob> {
  Q_OBJECT

 public:
  explicit CJoinFile(QWidget* parent = nullptr);
  bool StartFromRequest(const QString& first, const QString& second, const QString& target,
                        const ImageFormat& current);
  bool StartCommandLine(const CommandLineRequest& request, QWidget* mainWindow) override;
  // The choices of the three Browse buttons, without their pickers.
  void ChooseFirst(const QString& path, const ImageFormat& format);
  void ChooseSecond(const QString& path, const ImageFormat& format);
  QLineEdit* secondBox() const { return secondName_; }

 protected:
  bool ReadToolBoxes() override;
  // The second source's label shows its own layout.
  const FrameImage& SecondSourceFormat() const override { return job().SecondFormat; }

 private:
  // The title is the file's name, the box its path.
  void ShowNameIn(QLineEdit* box, const QString& path);
  std::optional<RawFileChoice> PickSourceInto(QLineEdit* box, const QString& caption);
  bool firstLoaded_ = false;
};

}  // namespace vx
