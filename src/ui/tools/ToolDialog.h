#pragma once

#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <array>
#include <initializer_list>
#include <memory>
#include <vector>

#include "tools/ToolJob.h"
#include "ui/controls/JobWindow.h"
#include "ui/controls/RawFilePicker.h"
#include "ui/display/PreviewArea.h"

namespace vx {

// What every file-writing tool's window has: name boxes with Browse buttons and
// format labels, the frame range, the frame number, a progress bar, the preview
// with its scroll bars, and Start / Stop / Pause / Exit driving a ToolJob on a
// worker thread. Tools add their own controls and the Browse reactions.
class ToolDialog : public JobWindow {
  Q_OBJECT

 public:
  ToolDialog(std::unique_ptr<ToolJob> job, QWidget* parent);
  ~ToolDialog() override;

  QLineEdit* sourceBox() const { return sourceName_; }
  QLineEdit* targetBox() const { return targetName_; }
  QLineEdit* toBox() const { return toFrame_; }
  PreviewArea* preview() const { return preview_; }

  // Start: reads the boxes; with a name missing nothing happens.
  void Start();
  // After a source was chosen: the window title, the source box, the range, the
  // labels.
  void ShowSource(const QString& title, const QString& box);
  void PauseClicked();
  void StopClicked();
  // The details toggle (tools with a large preview): hides or shows the name
  // groups, the tool's details and the status.
  void ToggleDetails();
  bool detailsHidden() const { return detailsHidden_; }
  // Stop, end the worker, close the window.
  void ExitClicked();

 protected:
  // Every member has a default, so a tool names only what it sets.
  struct Layout {
    QString sourceGroup{};
    QString targetGroup{};
    QString frameNumberLabel{};
    QString secondSourceGroup{};  // a second source (join); empty: none
    QString fromLabel = QStringLiteral("From Frame #:");
    QString toLabel = QStringLiteral("To");
    bool frameRange = true;
    bool progress = true;
  };
  // Builds the common controls into the dialog's layout.
  void BuildControls(const Layout& layout);
  void BuildControls(const QString& sourceGroup, const QString& targetGroup,
                     const QString& frameNumberLabel) {
    BuildControls(
        {.sourceGroup = sourceGroup, .targetGroup = targetGroup, .frameNumberLabel = frameNumberLabel});
  }
  // The pause button's caption while paused ("Play", or "Continue" for join).
  void SetPausedCaption(const QString& caption) { pausedCaption_ = caption; }
  // Where tools add their own groups (between the names and the status).
  QVBoxLayout* toolArea() const { return toolArea_; }
  QGroupBox* statusGroup() const { return statusGroup_; }

  // Browse for a raw source as every raw-file tool does: the picker, the format
  // dialog, the history entry, the range, the title and the default target
  // (`suffix`, set before the format dialog when `targetFirst`). True on OK.
  bool BrowseRawSource(const QString& suffix, bool targetFirst = false);
  // The raw-file picker that fills in the default target (`suffix`) as soon as a
  // name is picked, before the format is asked.
  std::optional<RawFileChoice> PickRawSourceNamingTarget(const QString& suffix, RawPickOptions options = {});
  // A source chosen without the pickers (tests, scripts).
  bool ChooseRawSource(const QString& path, const ImageFormat& format, int64_t frameCount,
                       const QString& suffix);
  // Browse for the target: a save picker that asks before replacing.
  void BrowseRawTarget();
  // The details toggle's two captions, as each tool words them.
  struct DetailsCaptions {
    QString hide;
    QString display;
  };
  // Adds the details toggle under the tool's controls, hidden until the tool shows
  // it (when the preview needs the room).
  void AddDetailsToggle(const DetailsCaptions& captions, std::vector<QWidget*> details);
  QPushButton* detailsToggle() const { return detailsToggle_; }
  // Shows the job's current preview picture.
  void ShowJobPreview();
  // Sizes the preview for a picture of that size, as far as the screen allows.
  virtual void PlacePreview(int32_t width, int32_t height);
  // Turns the source's (or the target's) group into three rows of a label, a name
  // box and a Browse button; the group's own box and button are the first row and
  // its format line goes. Tools with three files of one kind (components).
  struct NameRow {
    QLineEdit* name;
    QPushButton* browse;
  };
  enum class GroupOf { Source, Target };
  std::array<NameRow, 3> MakeThreeNameRows(GroupOf group, const std::array<QString, 3>& labels);
  // The job the window owns, for the typed access of ToolDialogOf.
  ToolJob& OwnedJob() const { return job_; }
  // A tool's own control that must not change while its job runs.
  void LockWhileRunning(QWidget* widget) { lockedWhileRunning_.push_back(widget); }
  // After a job the locked controls come back enabled; a tool whose controls
  // depend on its own choices (radio buttons) sets them again here.
  virtual void FollowChoices() {}
  // Reads the tool's own boxes into the job before Start; false: nothing happens.
  virtual bool ReadToolBoxes() { return true; }
  // Something Start needs, with the prompt shown when it is missing.
  struct Requirement {
    bool met;
    const char* prompt;
  };
  // Shows the first unmet requirement's prompt; true when every one is met.
  bool Meets(std::initializer_list<Requirement> requirements);
  void ShowRange();
  virtual void RefreshLabels();
  // What the second source's label shows (join's second file, composition's top
  // picture).
  virtual const FrameImage& SecondSourceFormat() const { return job_.SourceFormat; }
  void SetTitle(const QString& source, const QString& target);
  // A job started from a request (command line, script): the names it gives, shown
  // before the job is prepared, the source's as the title.
  void ShowRequestedNames(const QString& source, const QString& target);
  // Then, once prepared: its range and labels shown, and started.
  bool StartPrepared();

  QGroupBox* sourceGroup_ = nullptr;
  QGroupBox* targetGroup_ = nullptr;
  QGroupBox* secondGroup_ = nullptr;
  QPushButton* browseSource_ = nullptr;
  QPushButton* browseTarget_ = nullptr;
  QPushButton* browseSecond_ = nullptr;
  QLineEdit* secondName_ = nullptr;
  QLabel* secondFormat_ = nullptr;

 private:
  class Observer;
  void SetRunningControls(bool running);
  void SetSetupEnabled(bool enabled);
  void OnStopped();
  void OnFrameDone(int64_t frame);

  std::unique_ptr<ToolJob> ownedJob_;
  ToolJob& job_;
  QLineEdit *sourceName_ = nullptr, *targetName_ = nullptr, *fromFrame_ = nullptr, *toFrame_ = nullptr,
            *frameNumber_ = nullptr;
  QLabel *sourceFormat_ = nullptr, *targetFormat_ = nullptr;
  QProgressBar* progress_ = nullptr;
  PreviewArea* preview_ = nullptr;
  QVBoxLayout* toolArea_ = nullptr;
  QGroupBox* statusGroup_ = nullptr;
  QGroupBox* controlsGroup_ = nullptr;
  QString pausedCaption_ = QStringLiteral("Play");
  QPushButton* detailsToggle_ = nullptr;
  DetailsCaptions detailsCaptions_;
  std::vector<QWidget*> details_;  // the tool's own groups the toggle hides
  bool detailsHidden_ = false;
  QWidget* previewPanel_ = nullptr;
  std::vector<QPointer<QWidget>> lockedWhileRunning_;
  QPushButton *start_ = nullptr, *stop_ = nullptr, *pause_ = nullptr, *exit_ = nullptr;
};

// A tool's window over its own kind of job: the base window owns the job from
// its construction on, the tool reaches it typed through job(). `Base` is the
// window this one builds on (the AVI decoder's window is the converter's).
template <typename JobType, typename Base = ToolDialog>
class ToolDialogOf : public Base {
 public:
  JobType& job() { return typedJob_; }
  const JobType& job() const { return typedJob_; }

 protected:
  ToolDialogOf(std::unique_ptr<JobType> job, QWidget* parent)
      : Base(std::move(job), parent), typedJob_(static_cast<JobType&>(Base::OwnedJob())) {}

 private:
  JobType& typedJob_;  // the base's job, which is a JobType
};

}  // namespace vx
