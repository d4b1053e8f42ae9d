#pragma once

#include <QCheckBox>
#include <QLineEdit>
#include <QSlider>

#include "tools/Composition.h"
#include "ui/controls/ColourButton.h"
#include "ui/tools/ToolDialog.h"

namespace vx {

// "Composite Two YUV Files Into One File": a top picture laid over a base file.
class CYUVComposition : public ToolDialogOf<CompositionJob> {
  Q_OBJECT

 public:
  explicit CYUVComposition(QWidget* parent = nullptr);
  bool StartCommandLine(const CommandLineRequest& request, QWidget* mainWindow) override;

  // The choices of the Browse buttons, after their pickers.
  void ChooseBase(const QString& path, const ImageFormat& format, int64_t frameCount);
  void ChooseTop(const QString& path);
  bool composable() const { return composable_; }

  QLineEdit* topBox() const { return secondName_; }

 protected:
  bool ReadToolBoxes() override;
  const FrameImage& SecondSourceFormat() const override { return job().TopFormat; }

 private:
  void BuildCompositionControls();

  bool composable_ = false;
  QLineEdit *topLine_, *leftColumn_, *transparencyValue_, *tolerance_;
  QSlider* transparency_;
  QCheckBox *repeat_, *keyEnabled_;
  ColourButton* key_;
};

}  // namespace vx
