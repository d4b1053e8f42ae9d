// The player's path from file to screen pixels, on the offscreen platform:
//   1. as fast as it goes: read, to 4:4:4, colour conversion with grids, paint,
//      for 1920x1080 and 3840x2160 I420 (frames per second);
//   2. paced at 60 frames per second for 5 seconds by a real player's worker:
//      the achieved rate and the spread of the frame intervals.
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <vector>

#include "image/ColorFormula.h"
#include "model/Settings.h"
#include "platform/MessageSink.h"
#include "ui/player/VideoPlayer.h"

namespace {

vx::ImageFormat I420(int w, int h) {
  vx::ImageFormat f;
  f.SamplingFormat = vx::YUV_420;
  f.ComponentOrder = vx::YUV;
  f.FieldFormat = vx::Progressive;
  f.PixelFormat = vx::Planar;
  f.ImageResolution = vx::kCustomResolution;
  f.ImgWidth = w;
  f.ImgHeight = h;
  return f;
}

std::string MakeClip(int w, int h, int frames) {
  const auto path = std::filesystem::temp_directory_path() /
                    ("velutrix-player-bench-" + std::to_string(w) + "x" + std::to_string(h) + ".yuv");
  std::mt19937 random(1);
  std::vector<char> frame(static_cast<size_t>(w) * h * 3 / 2);
  std::ofstream out(path, std::ios::binary);
  for (int n = 0; n < frames; ++n) {
    for (char& c : frame) c = static_cast<char>(random() >> 24);
    out.write(frame.data(), static_cast<std::streamsize>(frame.size()));
  }
  return path.string();
}

void Unpaced(int w, int h, int frames) {
  const std::string clip = MakeClip(w, h, 8);
  vx::CVideoPlayer player;
  const vx::ImageFormat format = I420(w, h);
  player.ChooseFiles({QString::fromStdString(clip)}, &format);
  player.show();
  (void)QTest::qWaitForWindowExposed(&player);
  vx::CurrentSettings().Grid1.Enabled = 1;  // the shared grids are part of the path
  auto file = vx::RawFile::OpenRead(clip);
  QElapsedTimer timer;
  timer.start();
  for (int n = 0; n < frames; ++n) {
    if (n % 8 == 0) file->Seek(0);
    player.engine().Sequence().LoadNextFrom(*file);
    player.ShowDisplay();
    player.findChild<vx::PreviewArea*>(QStringLiteral("preview"))->repaint();
  }
  const double seconds = timer.nsecsElapsed() / 1e9;
  std::printf("%dx%d I420, file to screen, unpaced: %.1f frames per second (%.2f ms a frame, %d frames)\n", w,
              h, frames / seconds, 1000 * seconds / frames, frames);
  vx::CurrentSettings().Grid1.Enabled = 0;
  std::filesystem::remove(clip);
}

void Paced(int w, int h, int rate, int seconds) {
  const std::string clip = MakeClip(w, h, rate * seconds + 10);
  vx::CVideoPlayer player;
  const vx::ImageFormat format = I420(w, h);
  player.ChooseFiles({QString::fromStdString(clip)}, &format);
  player.findChild<QLineEdit*>(QStringLiteral("speed"))->setText(QString::number(rate));
  player.show();
  std::vector<qint64> shown;
  QElapsedTimer timer;
  timer.start();
  QObject::connect(&player, &vx::CVideoPlayer::frameShown,
                   [&](int) { shown.push_back(timer.nsecsElapsed()); });
  player.findChild<QPushButton*>(QStringLiteral("start"))->click();
  QEventLoop loop;  // a real event loop: reports are handled as soon as they arrive
  QTimer::singleShot(seconds * 1000, &loop, &QEventLoop::quit);
  loop.exec();
  player.findChild<QPushButton*>(QStringLiteral("stop"))->click();
  player.Exit();
  std::vector<double> intervals;
  for (size_t i = 1; i < shown.size(); ++i) intervals.push_back((shown[i] - shown[i - 1]) / 1e6);
  std::sort(intervals.begin(), intervals.end());
  double mean = 0;
  for (double v : intervals) mean += v;
  mean /= std::max<size_t>(intervals.size(), 1);
  double variance = 0;
  for (double v : intervals) variance += (v - mean) * (v - mean);
  const double spread = std::sqrt(variance / std::max<size_t>(intervals.size(), 1));
  const double achieved = shown.size() > 1 ? (shown.size() - 1) / ((shown.back() - shown.front()) / 1e9) : 0;
  std::printf(
      "%dx%d I420 at rate %d for %d s: %zu frames, %.2f frames per second (interval %d ms expected); "
      "intervals mean %.2f ms, std dev %.2f ms, min %.2f, median %.2f, max %.2f ms\n",
      w, h, rate, seconds, shown.size(), achieved, vx::FrameIntervalMs(rate), mean, spread,
      intervals.empty() ? 0 : intervals.front(), intervals.empty() ? 0 : intervals[intervals.size() / 2],
      intervals.empty() ? 0 : intervals.back());
  std::filesystem::remove(clip);
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  vx::RecordingMessageSink quiet;
  vx::ScopedMessageSink scope(quiet);
  vx::PublishColourFormula(
      {.formula = vx::CurrentSettings().YUV2RGB_Formula, .user = vx::CurrentSettings().User_Defined_Formula});
  // "player_bench 3840x2160 [frames]": that size unpaced only (for profiling).
  int w = 0, h = 0;
  if (argc > 1 && std::sscanf(argv[1], "%dx%d", &w, &h) == 2 && w > 0 && h > 0) {
    Unpaced(w, h, argc > 2 ? std::max(std::atoi(argv[2]), 1) : 60);
    return 0;
  }
  Unpaced(1920, 1080, 240);
  Unpaced(3840, 2160, 60);
  Paced(640, 360, 60, 5);
  return 0;
}
