#include "ui/controls/WindowPlaces.h"

#include <QEvent>
#include <QScreen>

#include "model/Settings.h"
#include "ui/display/PreviewArea.h"

namespace vx {
namespace {

const QString kKeeperName = QStringLiteral("windowPlaceKeeper");

// The window's own preview, when it has exactly one (a dialog it opened has its own).
PreviewArea* PreviewOf(QWidget* window) {
  PreviewArea* found = nullptr;
  for (PreviewArea* preview : window->findChildren<PreviewArea*>()) {
    if (preview->window() != window) continue;
    if (found) return nullptr;
    found = preview;
  }
  return found;
}

// Watches its window and writes its place into the settings when it is hidden.
class PlaceKeeper : public QObject {
 public:
  PlaceKeeper(QWidget* window, std::string key) : QObject(window), window_(window), key_(std::move(key)) {
    setObjectName(kKeeperName);
  }

  void Record() const {
    const PreviewArea* preview = PreviewOf(window_);
    const WindowPlace place{.X = window_->x(),
                            .Y = window_->y(),
                            .Width = window_->width(),
                            .Height = window_->height(),
                            .Zoom = preview ? preview->zoom().factor() : 0};
    // A place no file could hold (a window beyond every screen) is not kept.
    auto& windows = CurrentSettings().Windows;
    if (!UsableWindowPlace(key_, place)) return;
    if (windows.size() >= kMaxWindowPlaces && !windows.contains(key_)) return;
    windows[key_] = place;
  }

  QWidget* window() const { return window_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    // A hide of the program's own (closing, not minimising) records the place.
    if (watched == window_ && event->type() == QEvent::Hide && !event->spontaneous()) Record();
    return false;
  }

 private:
  QWidget* window_;
  std::string key_;
};

}  // namespace

bool RestorePlace(QWidget* window, const std::string& key) {
  const auto& windows = CurrentSettings().Windows;
  const auto it = windows.find(key);
  if (it == windows.end() || !UsableWindowPlace(key, it->second)) return false;
  const WindowPlace& place = it->second;
  // No larger than the screen even for a moment; the frame's own size is known
  // once the window is shown, when FitOnScreen brings all of it inside.
  QSize size(place.Width, place.Height);
  if (const QScreen* screen = window->screen()) size = size.boundedTo(screen->availableGeometry().size());
  window->resize(size);
  window->move(place.X, place.Y);
  if (PreviewArea* preview = PreviewOf(window)) preview->setZoomFactor(place.Zoom);
  return true;
}

void KeepPlace(QWidget* window, const std::string& key) {
  window->installEventFilter(new PlaceKeeper(window, key));
}

void RememberOpenPlaces(QWidget* owner) {
  for (QObject* object : owner->findChildren<QObject*>(kKeeperName)) {
    const auto* keeper = dynamic_cast<const PlaceKeeper*>(object);
    if (keeper && keeper->window()->isVisible()) keeper->Record();
  }
}

}  // namespace vx
