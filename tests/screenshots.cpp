// Opens the program's windows on a real display and saves a picture of each, so
// that a person can look at them: build/velutrix_screenshots <clip> <folder>.
#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QPixmap>
#include <QScreen>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <initializer_list>

#include "image/ColorFormula.h"
#include "image/FrameImage.h"
#include "image/ImageFormat.h"
#include "image/SampleStorage.h"
#include "model/FileHistory.h"
#include "model/Settings.h"
#include "shell/ToolTable.h"
#include "shell/desktop/FileHistoryDialog.h"
#include "shell/desktop/MainFrame.h"
#include "shell/desktop/Resources.h"
#include "shell/desktop/ShellWindows.h"
#include "ui/analysis/CompareDialog.h"
#include "ui/analysis/HistogramDialogs.h"
#include "ui/analysis/MotionDialog.h"
#include "ui/analysis/OverlayDialog.h"
#include "ui/analysis/PsnrDialog.h"
#include "ui/controls/FormatDialog.h"
#include "ui/controls/JobWindow.h"
#include "ui/controls/MessageBoxSink.h"
#include "ui/display/GridDialog.h"
#include "ui/display/PreviewArea.h"
#include "ui/editor/BlockEditDialog.h"
#include "ui/editor/ImageEditDialog.h"
#include "ui/image/FormulaDialog.h"
#include "ui/player/VideoPlayer.h"
#include "ui/tools/AviDialogs.h"
#include "ui/tools/ComponentDialogs.h"
#include "ui/tools/CompositionDialog.h"
#include "ui/tools/ConverterDialog.h"
#include "ui/tools/TransformDialogs.h"

namespace {

// A window's widget by its objectName; a renamed widget stops the program with the name.
template <class W>
W* Child(const QObject& window, const char* name) {
  W* found = window.findChild<W*>(QString::fromLatin1(name));
  if (!found)
    qFatal("no %s named %s in %s", W::staticMetaObject.className(), name, window.metaObject()->className());
  return found;
}

// Hides every other window still on the screen (earlier steps' windows, menus, tool
// tips), so that a whole-screen picture shows only the windows it is about.
void HideAllBut(std::initializer_list<const QWidget*> keep) {
  for (QWidget* w : QApplication::topLevelWidgets()) {
    if (w->isVisible() && std::find(keep.begin(), keep.end(), w) == keep.end()) w->hide();
  }
  QTest::qWait(200);  // lets the server repaint what the hidden windows covered
}

void SaveScreen(const QString& folder, const QString& name) {
  QGuiApplication::primaryScreen()->grabWindow(0).save(QDir(folder).filePath(name + QStringLiteral(".png")));
}

// Whole frames a raw file holds in `format`, as a tool counts them when the file is chosen.
int64_t FramesIn(const QString& path, const vx::ImageFormat& format) {
  return static_cast<int64_t>(
      vx::CountFrames(static_cast<uint64_t>(QFileInfo(path).size()), vx::FrameSizeOf(format)));
}

// Replaces a box's text by typing, as a user does, so that the window sees the edit.
void TypeInto(QLineEdit& box, const QString& text) {
  box.setFocus();
  box.selectAll();
  QTest::keyClicks(&box, text);
}

void Save(QWidget& window, const QString& folder, const QString& name) {
  window.show();
  window.raise();
  if (!QTest::qWaitForWindowExposed(&window)) qWarning("window %s was not exposed", qPrintable(name));
  QTest::qWait(300);
  window.grab().save(QDir(folder).filePath(name + QStringLiteral(".png")));
  // The whole screen too, for windows that open others (the splash over the main window)
  // and for large pictures (the window must stay on the screen).
  if (name == QStringLiteral("main") || name.contains(QStringLiteral("2160p")) ||
      name.contains(QStringLiteral("1080p"))) {
    if (name != QStringLiteral("main")) {
      HideAllBut({&window});
      SaveScreen(folder, name + QStringLiteral("_screen"));
      return;
    }
    SaveScreen(folder, QStringLiteral("screen"));
  }
}

// Answers the message boxes a finished job leaves open.
void AnswerBoxes() {
  for (QWidget* w : QApplication::topLevelWidgets()) {
    if (auto* box = qobject_cast<QMessageBox*>(w)) box->accept();
  }
}

void WaitForJob(vx::JobWindow& window) {
  (void)QTest::qWaitFor([&] { return !window.WorkerRunning(); }, 30000);
  QTest::qWait(300);
  AnswerBoxes();
}

// Runs a started tool window in short bursts until `frames` are done, then keeps it paused.
void PauseAfter(vx::ToolDialog& window, int frames, bool pausedAlready = false) {
  if (!pausedAlready) window.PauseClicked();
  for (int i = 0; i < 300 && Child<QLineEdit>(window, "frameNumberBox")->text().toInt() < frames; ++i) {
    window.PauseClicked();
    QThread::usleep(500);
    window.PauseClicked();
    QTest::qWait(20);
  }
}

// Stops a tool window's job, answers what it reports and closes the window, so that
// later whole-screen pictures show only their own window.
void StopAndClose(vx::ToolDialog& window) {
  window.StopClicked();
  (void)QTest::qWaitFor([&] { return !window.WorkerRunning(); }, 30000);
  QTest::qWait(200);
  AnswerBoxes();
  window.close();
}

// Padding, separating and merging, each in the middle of its job.
void ComponentWindows(const QString& clip, const vx::ImageFormat& format, const QString& folder) {
  auto* pad = new vx::CYUVPadding;
  pad->setWindowTitle(QStringLiteral("Image Padding"));
  pad->show();
  pad->ChooseSource(clip, format, 200);
  pad->targetBox()->setText(QDir(folder).filePath(QStringLiteral("padded.yuv")));
  Child<QRadioButton>(*pad, "explicitRadio")->click();
  TypeInto(*Child<QLineEdit>(*pad, "paddedWidthBox"), QStringLiteral("400"));
  TypeInto(*Child<QLineEdit>(*pad, "paddedHeightBox"), QStringLiteral("320"));
  Child<QLineEdit>(*pad, "topBox")->setText(QStringLiteral("16"));
  Child<QLineEdit>(*pad, "leftBox")->setText(QStringLiteral("24"));
  Child<QRadioButton>(*pad, "fillRadio")->click();
  Child<vx::ColourButton>(*pad, "colourButton")->setColour(QColor(0, 96, 160));
  pad->Start();
  PauseAfter(*pad, 10);
  Save(*pad, folder, QStringLiteral("padding"));
  StopAndClose(*pad);

  auto* separate = new vx::CYUVSeparate;
  separate->show();
  separate->ChooseSource(clip, format, 200);
  const QString base = QDir(folder).filePath(QStringLiteral("parts"));
  Child<QLineEdit>(*separate, "componentBox1")->setText(base + QStringLiteral(".y"));
  Child<QLineEdit>(*separate, "componentBox2")->setText(base + QStringLiteral(".u"));
  Child<QLineEdit>(*separate, "componentBox3")->setText(base + QStringLiteral(".v"));
  separate->Start();
  PauseAfter(*separate, 10);
  Save(*separate, folder, QStringLiteral("separate"));
  separate->PauseClicked();
  (void)QTest::qWaitFor([&] { return !separate->WorkerRunning(); }, 30000);
  QTest::qWait(200);
  AnswerBoxes();
  separate->close();

  auto* merge = new vx::CYUVMerge;
  merge->show();
  const vx::ComponentSizes sizes =
      vx::ComponentSizesOf(format.SamplingFormat, format.ImgWidth, format.ImgHeight);
  const char* suffixes[3] = {".y", ".u", ".v"};
  for (size_t i = 0; i < 3; ++i) {
    merge->ChooseComponent(i, base + QString::fromLatin1(suffixes[i]), vx::ComponentLayout(sizes[i]), 200);
  }
  merge->targetBox()->setText(QDir(folder).filePath(QStringLiteral("merged.yuv")));
  merge->Start();
  PauseAfter(*merge, 10);
  Save(*merge, folder, QStringLiteral("merge"));
  StopAndClose(*merge);

  // The clip laid over itself at (40, 60), half transparent, black keyed out.
  auto* compose = new vx::CYUVComposition;
  compose->setWindowTitle(QStringLiteral("Composite Two YUV Files Into One File"));
  compose->show();
  compose->ChooseBase(clip, format, 200);
  compose->job().SecondSourceName = clip.toStdString();
  static_cast<vx::ImageFormat&>(compose->job().TopFormat) = format;
  vx::ComputeFrameSize(compose->job().TopFormat);
  compose->job().TopFrameCount = 100;
  compose->topBox()->setText(clip);
  compose->ChooseBase(clip, format, 200);
  compose->targetBox()->setText(QDir(folder).filePath(QStringLiteral("composed.yuv")));
  Child<QLineEdit>(*compose, "topLineBox")->setText(QStringLiteral("60"));
  Child<QLineEdit>(*compose, "leftColumnBox")->setText(QStringLiteral("40"));
  Child<QSlider>(*compose, "transparencySlider")->setValue(50);
  Child<QCheckBox>(*compose, "colourKeyBox")->setChecked(true);
  Child<QLineEdit>(*compose, "toleranceBox")->setText(QStringLiteral("16"));
  compose->Start();
  compose->PauseClicked();  // held until the notice about the frame counts is answered
  (void)QTest::qWaitFor([] { return QApplication::activeModalWidget() != nullptr; }, 3000);
  AnswerBoxes();
  PauseAfter(*compose, 10, true);
  Save(*compose, folder, QStringLiteral("composition"));
  StopAndClose(*compose);
}

// Every tool window and the format dialog with a large picture, placed where the
// user last had it: each must keep to the screen.
void LargePictureWindows(const QString& clip, int width, int height, const QString& folder) {
  const QString size = QStringLiteral("_%1p").arg(height);
  vx::ImageFormat f{.SamplingFormat = vx::YUV_420,
                    .FieldFormat = vx::Progressive,
                    .PixelFormat = vx::Planar,
                    .ImageResolution = vx::kCustomResolution,
                    .ImgWidth = width,
                    .ImgHeight = height};
  const QString target = QDir(folder).filePath(QStringLiteral("large_out.yuv"));
  const int64_t frames = FramesIn(clip, f);
  auto place = [](QWidget* window) {
    window->move(155, 63);
    window->show();
  };
  {
    vx::CYUVFlip flip;
    place(&flip);
    flip.StartFromRequest(clip, target, f);
    WaitForJob(flip);
    Save(flip, folder, QStringLiteral("flip") + size);
  }
  {
    vx::CYUVConverter converter;
    place(&converter);
    vx::CommandLineRequest request;
    request.Action = vx::FindAction("convert")->action.number;
    request.InputName = clip.toStdString();
    request.OutputName = QDir(folder).filePath(QStringLiteral("large_out.uyvy")).toStdString();
    request.OutputFormat = {vx::YUV_422, vx::UYV, vx::Progressive, vx::Packed, width, height};
    converter.StartFromRequest(request, f);
    WaitForJob(converter);
    Save(converter, folder, QStringLiteral("converter") + size);
  }
  {
    vx::CImageCrop crop;
    place(&crop);
    crop.ChooseSource(clip, f, frames);
    QTest::qWait(300);
    Save(crop, folder, QStringLiteral("crop") + size);
  }
  {
    vx::CJoinFile join;
    place(&join);
    join.ChooseFirst(clip, f);
    Save(join, folder, QStringLiteral("join") + size);
  }
  {
    vx::CYUVPadding pad;
    place(&pad);
    pad.ChooseSource(clip, f, frames);
    pad.targetBox()->setText(target);
    Child<QRadioButton>(pad, "explicitRadio")->click();
    TypeInto(*Child<QLineEdit>(pad, "paddedHeightBox"), QString::number(height + 16));
    pad.Start();
    WaitForJob(pad);
    Save(pad, folder, QStringLiteral("padding") + size);
  }
  {
    vx::CYUVSeparate separate;
    place(&separate);
    separate.ChooseSource(clip, f, frames);
    const QString base = QDir(folder).filePath(QStringLiteral("large_parts"));
    Child<QLineEdit>(separate, "componentBox1")->setText(base + QStringLiteral(".y"));
    Child<QLineEdit>(separate, "componentBox2")->setText(base + QStringLiteral(".u"));
    Child<QLineEdit>(separate, "componentBox3")->setText(base + QStringLiteral(".v"));
    separate.Start();
    WaitForJob(separate);
    Save(separate, folder, QStringLiteral("separate") + size);
    vx::CYUVMerge merge;
    place(&merge);
    const vx::ComponentSizes sizes = vx::ComponentSizesOf(vx::YUV_420, width, height);
    const char* suffixes[3] = {".y", ".u", ".v"};
    for (size_t i = 0; i < 3; ++i) {
      const QString part = base + QString::fromLatin1(suffixes[i]);
      const vx::FrameImage layout = vx::ComponentLayout(sizes[i]);
      merge.ChooseComponent(i, part, layout, FramesIn(part, layout));
    }
    merge.targetBox()->setText(target);
    merge.Start();
    WaitForJob(merge);
    Save(merge, folder, QStringLiteral("merge") + size);
  }
  {
    vx::CYUVComposition compose;
    place(&compose);
    compose.ChooseBase(clip, f, frames);
    compose.job().SecondSourceName = clip.toStdString();
    static_cast<vx::ImageFormat&>(compose.job().TopFormat) = f;
    vx::ComputeFrameSize(compose.job().TopFormat);
    compose.job().TopFrameCount = frames;
    compose.topBox()->setText(clip);
    compose.ChooseBase(clip, f, frames);
    compose.targetBox()->setText(target);
    Child<QSlider>(compose, "transparencySlider")->setValue(50);
    compose.Start();
    WaitForJob(compose);
    Save(compose, folder, QStringLiteral("composition") + size);
  }
  {
    vx::CPSNR psnr;
    place(&psnr);
    psnr.ChooseFile(1, clip, f, frames);
    psnr.ChooseFile(2, clip, f, frames);
    Save(psnr, folder, QStringLiteral("psnr") + size);
  }
  {
    const vx::ImageFormat saved = vx::CurrentSettings().Format;
    vx::CurrentSettings().Format = f;
    vx::CYuvFrmtDlg format;
    format.SetFile(clip);
    format.Prepare();
    place(&format);
    Save(format, folder, QStringLiteral("format") + size);
    vx::CurrentSettings().Format = saved;
  }
  if (height == 1080) {
    // The clip's first frame as P010, opened by its name's layout word.
    vx::FrameBuffer planar, p010;
    vx::FrameImage source;
    static_cast<vx::ImageFormat&>(source) = f;
    vx::ComputeFrameSize(source);
    QFile in(clip);
    vx::ImageFormat deep = f;
    deep.PixelFormat = vx::SemiPlanar;
    deep.BitsPerSample = 10;
    if (planar.Allocate(source.DataSize) && p010.Allocate(vx::FrameSizeOf(deep)) &&
        in.open(QIODevice::ReadOnly) &&
        in.read(reinterpret_cast<char*>(planar.data()), source.DataSize) == source.DataSize) {
      vx::FrameImage from = planar.Frame(f);
      vx::FrameImage to = p010.Frame(deep);
      const QString path = QDir(folder).filePath(QStringLiteral("cam_p010_1920x1080.yuv"));
      QFile out(path);
      if (vx::ConvertSamples(from, to) && out.open(QIODevice::WriteOnly)) {
        out.write(reinterpret_cast<const char*>(to.Data), to.DataSize);
        out.close();
        vx::CYuvFrmtDlg format;
        format.SetFile(path);
        format.Prepare();
        place(&format);
        Save(format, folder, QStringLiteral("format_p010"));
      }
    }
  }
}

// The AVI windows: the decoder with its information box, then running into BMP
// pictures; the encoder with its codec list after a job.
void AviWindows(const QString& avi, const QString& clip, const vx::ImageFormat& clipFormat,
                const QString& folder) {
  vx::MessageBoxSink boxes;
  vx::ScopedMessageSink scope(boxes);
  // Message boxes are pictured, then answered.
  QTimer answer;
  int shot = 0;
  QObject::connect(&answer, &QTimer::timeout, [&] {
    // Long texts come in a scrollable box of their own, short ones in a message box.
    auto* box = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    if (!box || !box->isVisible()) return;
    if (shot++ == 0) box->grab().save(QDir(folder).filePath(QStringLiteral("avi2yuv_information.png")));
    box->accept();
  });
  answer.start(300);
  {
    vx::CAVI2YUV decoder;
    decoder.setWindowTitle(QStringLiteral("Convert AVI to YUV"));
    decoder.show();
    decoder.ChooseSource(avi);
    decoder.ChooseTarget(QDir(folder).filePath(QStringLiteral("decoded.bmp")));
    decoder.Start();
    WaitForJob(decoder);
    Save(decoder, folder, QStringLiteral("avi2yuv"));
  }
  {
    const vx::ImageFormat saved = vx::CurrentSettings().Format;
    vx::CurrentSettings().Format = clipFormat;
    vx::CYUV2AVI encoder;
    encoder.setWindowTitle(QStringLiteral("Convert YUV to AVI"));
    encoder.show();
    encoder.job().SourceName = clip.toStdString();
    encoder.job().PrepareFromRequest(
        clip.toStdString(), QDir(folder).filePath(QStringLiteral("encoded.avi")).toStdString(), clipFormat);
    encoder.job().SetTargetFromSource();
    encoder.ShowSource(clip, clip);
    encoder.targetBox()->setText(QDir(folder).filePath(QStringLiteral("encoded.avi")));
    encoder.Start();
    WaitForJob(encoder);
    Save(encoder, folder, QStringLiteral("yuv2avi"));
    vx::CurrentSettings().Format = saved;
  }
}

// The pixel editor on the clip with the block editor open beside it.
void EditorWindows(const QString& clip, const vx::ImageFormat& clipFormat, const QString& folder) {
  // A copy: the editor writes into its file.
  const QString copy = QDir(folder).filePath(QStringLiteral("edited_352x288.uyvy"));
  QFile::remove(copy);
  QFile::copy(clip, copy);
  vx::CImageEdit editor;
  editor.move(0, 0);
  editor.show();
  editor.ChooseFile(copy, &clipFormat);
  QTest::qWait(300);
  QTest::mouseMove(editor.findChild<vx::PreviewArea*>(QStringLiteral("preview")),
                   QPoint(8 * 12 + 3, 8 * 9 + 3));
  Save(editor, folder, QStringLiteral("editor"));
  QTimer::singleShot(600, [&] {
    auto* block = qobject_cast<vx::CBlockEdit*>(QApplication::activeModalWidget());
    if (!block) return;
    Child<QCheckBox>(*block, "gridCheckBox")->setChecked(true);
    QTest::mouseMove(Child<vx::PreviewArea>(*block, "pixelPicture"), QPoint(3 * 16 + 5, 2 * 16 + 5));
    QTest::qWait(200);
    block->grab().save(QDir(folder).filePath(QStringLiteral("block_edit.png")));
    // Below the editor, so that the screen shows both.
    const int below = editor.frameGeometry().bottom() + 8;
    const int screenHeight = QGuiApplication::primaryScreen()->geometry().height();
    block->move(0, std::min(below, screenHeight - block->frameGeometry().height()));
    HideAllBut({&editor, block});
    SaveScreen(folder, QStringLiteral("editor_screen"));
    block->reject();
  });
  editor.EditBlock(12, 9);
}

// The compare tool on the clip and a changed copy, in range mode over file 1, and
// the two histogram windows of that difference.
void CompareWindows(const QString& clip, const QString& changed, const vx::ImageFormat& clipFormat,
                    const QString& folder) {
  vx::CYUVCompare compare;
  compare.move(0, 0);
  compare.show();
  compare.ChooseFile(1, clip, clipFormat);
  compare.ChooseFile(2, changed, clipFormat);
  compare.findChild<QRadioButton*>(QStringLiteral("range"))->setChecked(true);
  compare.findChild<QLineEdit*>(QStringLiteral("low"))->setText(QStringLiteral("3"));
  compare.findChild<QLineEdit*>(QStringLiteral("high"))->setText(QStringLiteral("255"));
  compare.findChild<QRadioButton*>(QStringLiteral("background1"))->setChecked(true);
  compare.findChild<QCheckBox*>(QStringLiteral("grid"))->setChecked(true);
  QTest::qWait(300);
  QTest::mouseMove(compare.findChild<vx::PreviewArea*>(QStringLiteral("preview")),
                   QPoint(8 * 20 + 3, 8 * 15 + 3));
  Save(compare, folder, QStringLiteral("compare"));
  // Played for a while, then the plot of the frames shown.
  compare.findChild<QPushButton*>(QStringLiteral("start"))->click();
  QTest::qWait(2000);
  compare.findChild<QPushButton*>(QStringLiteral("pause"))->click();
  QTest::qWait(300);
  compare.findChild<QPushButton*>(QStringLiteral("plotButton"))->click();
  if (auto* plotWindow = compare.findChild<QWidget*>(QStringLiteral("plotWindow"))) {
    plotWindow->move(compare.x() + 40, compare.y() + 40);
    QTest::qWait(300);
    Save(*plotWindow, folder, QStringLiteral("compare_plot"));
    plotWindow->hide();
  }
  compare.findChild<QPushButton*>(QStringLiteral("stop"))->click();
  QTest::qWait(300);
  vx::FramePairSequence::Pair pair = compare.sequence().Snapshot();
  vx::FrameDifference d;
  d.Allocate(clipFormat.ImgWidth, clipFormat.ImgHeight);
  d.Build(*vx::CurrentColourTables(), pair.first.View(), pair.second.View(), 3);
  vx::CYUVDiffValueHistogram values(d.DifferencePicture());
  Save(values, folder, QStringLiteral("histogram_values"));
  vx::CYUVDiffPositionDistribution chart(d.DifferencePicture(), d.FirstPicture(), d.SecondPicture());
  Save(chart, folder, QStringLiteral("histogram_positions"));
  Child<QRadioButton>(chart, "wholePictureRadio")->setChecked(true);
  Child<QRadioButton>(chart, "image1Radio")->setChecked(true);
  Save(chart, folder, QStringLiteral("histogram_positions_image"));
}

// The motion check with blocks selected and moved, and the overlay with vectors and
// with tinted blocks over the clip.
void MotionAndOverlayWindows(const QString& clip, const vx::ImageFormat& clipFormat, const QString& folder) {
  const QString copy = QDir(folder).filePath(QStringLiteral("motion_352x288.uyvy"));
  QFile::remove(copy);
  QFile::copy(clip, copy);
  {
    vx::CYUVCheckMotion motion;
    motion.move(0, 0);
    motion.show();
    motion.ChooseFile(copy, clipFormat);
    motion.findChild<QRadioButton*>(QStringLiteral("image2"))->setChecked(true);
    vx::PreviewArea* preview = motion.findChild<vx::PreviewArea*>(QStringLiteral("preview"));
    QTest::mousePress(preview, Qt::LeftButton, Qt::ControlModifier, QPoint(8 * 14 + 2, 8 * 12 + 2));
    QTest::mouseMove(preview, QPoint(8 * 21 + 2, 8 * 19 + 2));
    QTest::mouseRelease(preview, Qt::LeftButton, Qt::ControlModifier, QPoint(8 * 21 + 2, 8 * 19 + 2));
    for (int i = 0; i < 4; ++i) motion.MoveSelection(1);
    motion.MoveSelection(3);
    Save(motion, folder, QStringLiteral("motion"));
  }
  const int columns = 352 / 16, rows = 288 / 16;
  auto write = [&](const QString& name, int perBlock) {
    QString text =
        QStringLiteral(
            "<TotalFrames> 3 </TotalFrames> <ImageWidth> 352 </ImageWidth> <ImageHeight> 288 "
            "</ImageHeight> <BlockWidth> 16 </BlockWidth> <BlockHeight> 16 </BlockHeight> "
            "<DataPerBlock> %1 </DataPerBlock> <DataMin> -8 </DataMin> <DataMax> 8 </DataMax> <Data>\n")
            .arg(perBlock);
    for (int f = 0; f < 3; ++f) {
      text += QStringLiteral("<Frame>\n");
      for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < columns; ++c) {
          if (perBlock == 1)
            text += QStringLiteral("%1 ").arg((r + c) % 4);
          else
            text += QStringLiteral("%1 %2 ").arg((c - columns / 2) / 2).arg((r - rows / 2) / 2);
        }
        text += QStringLiteral("\n");
      }
      text += QStringLiteral("</Frame>\n");
    }
    QFile file(QDir(folder).filePath(name));
    if (file.open(QIODevice::WriteOnly)) file.write(text.toUtf8());
    return file.fileName();
  };
  for (const auto& [name, perBlock] :
       {std::pair{QStringLiteral("vectors"), 2}, std::pair{QStringLiteral("values"), 1}}) {
    vx::CInfoOverlay overlay;
    overlay.move(0, 0);
    overlay.show();
    overlay.ChooseVideo(clip, clipFormat);
    overlay.ChooseOverlay(write(name + QStringLiteral(".txt"), perBlock));
    overlay.findChild<QLineEdit*>(QStringLiteral("value1"))->setText(QStringLiteral("1"));
    overlay.findChild<QLineEdit*>(QStringLiteral("value2"))->setText(QStringLiteral("2"));
    QTest::mouseClick(overlay.findChild<QPushButton*>(QStringLiteral("stepForward")), Qt::LeftButton);
    (void)QTest::qWaitFor(
        [&] {
          return overlay.findChild<QLineEdit*>(QStringLiteral("frameNumber"))->text() == QStringLiteral("1");
        },
        3000);
    QTest::qWait(200);
    Save(overlay, folder, QStringLiteral("overlay_") + name);
  }
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc < 4) return 2;
  const QString hdClip = QString::fromLocal8Bit(argv[3]);
  const QString uhdClip = argc > 4 ? QString::fromLocal8Bit(argv[4]) : QString();
  const QString clip = QString::fromLocal8Bit(argv[1]);
  const QString folder = QString::fromLocal8Bit(argv[2]);
  QDir().mkpath(folder);
  vx::InitResources();
  vx::PublishColourFormula(
      {.formula = vx::CurrentSettings().YUV2RGB_Formula, .user = vx::CurrentSettings().User_Defined_Formula});

  vx::CMainFrame frame;
  auto* view = new QWidget(&frame);
  view->setAutoFillBackground(true);
  frame.setCentralWidget(view);
  frame.ShowSplash();
  Save(frame, folder, QStringLiteral("main"));
  HideAllBut({});

  vx::CYuvFrmtDlg format;
  format.SetFile(clip);
  format.SetRefuseMono(true);
  format.SetLeaveOutBmp(true);
  format.Prepare();
  Save(format, folder, QStringLiteral("format"));
  format.hide();  // still asked for the clip's format below

  vx::ImageFormat f = vx::CurrentSettings().Format;
  vx::AddToHistory("/data/clips/foreman_cif.yuv", f, vx::kOpened);
  f.SamplingFormat = vx::YUV_422;
  f.PixelFormat = vx::Packed;
  f.ComponentOrder = vx::UYV;
  vx::AddToHistory("/data/out/foreman cif uyvy.yuv", f, vx::kCreated);
  vx::AddToHistory(clip.toStdString(), format.format(), vx::kOpened);
  vx::CFileHistory history;
  Save(history, folder, QStringLiteral("history"));
  history.close();

  vx::CGrid grid;
  Save(grid, folder, QStringLiteral("grid"));
  grid.close();
  vx::CYUV2RGB_Formula formula;
  Save(formula, folder, QStringLiteral("formula"));
  formula.close();
  {
    // The converter in the middle of a job: paused after a few frames.
    vx::CYUVConverter* converter = new vx::CYUVConverter;
    vx::CommandLineRequest request;
    request.Action = vx::FindAction("convert")->action.number;
    request.InputName = clip.toStdString();
    request.OutputName = QDir(folder).filePath(QStringLiteral("converted.yuv")).toStdString();
    request.OutputFormat = {vx::YUV_420, vx::YUV, vx::Progressive, vx::Planar, 352, 288};
    vx::ImageFormat uyvy = format.format();
    converter->show();
    converter->StartFromRequest(request, uyvy);
    converter->PauseClicked();
    // Let it run in short bursts until a few frames are done, then keep it paused.
    for (int i = 0; i < 200 && Child<QLineEdit>(*converter, "frameNumberBox")->text().toInt() < 20; ++i) {
      converter->PauseClicked();
      QThread::usleep(300);
      converter->PauseClicked();
      QTest::qWait(20);
    }
    Save(*converter, folder, QStringLiteral("converter"));
    StopAndClose(*converter);
  }
  {
    // A 1080p clip playing, detailed and compact.
    vx::CVideoPlayer* player = new vx::CVideoPlayer;
    vx::ImageFormat hd;
    hd.SamplingFormat = vx::YUV_420;
    hd.ComponentOrder = vx::YUV;
    hd.FieldFormat = vx::Progressive;
    hd.PixelFormat = vx::Planar;
    hd.ImageResolution = 14;
    hd.ImgWidth = 1920;
    hd.ImgHeight = 1080;
    player->setWindowTitle(QStringLiteral("Play YUV Video File"));
    player->ChooseFiles({hdClip}, &hd);
    player->findChild<QPushButton*>(QStringLiteral("start"))->click();
    QTest::qWait(700);
    player->findChild<QPushButton*>(QStringLiteral("pause"))->click();
    QTest::qWait(100);
    Save(*player, folder, QStringLiteral("player"));
    player->findChild<QPushButton*>(QStringLiteral("detailsToggle"))->click();
    QTest::qWait(100);
    Save(*player, folder, QStringLiteral("player_compact"));
    player->Exit();
  }
  {
    // Both grids over a 1080p picture (converted and blended in two halves, which
    // meet at row 540).
    vx::ProgramSettings& settings = vx::CurrentSettings();
    const vx::GridSettings one = settings.Grid1, two = settings.Grid2;
    settings.Grid1 = {1, 60, 16, 16, {0, 0, 0}};
    settings.Grid2 = {1, 20, 64, 64, {255, 0, 0}};
    vx::CVideoPlayer* player = new vx::CVideoPlayer;
    const vx::ImageFormat hd{.SamplingFormat = vx::YUV_420,
                             .FieldFormat = vx::Progressive,
                             .PixelFormat = vx::Planar,
                             .ImageResolution = 14,
                             .ImgWidth = 1920,
                             .ImgHeight = 1080};
    player->setWindowTitle(QStringLiteral("Play YUV Video File"));
    player->ChooseFiles({hdClip}, &hd);
    player->findChild<QPushButton*>(QStringLiteral("stepForward"))->click();
    QTest::qWait(300);
    Save(*player, folder, QStringLiteral("player_grids"));
    // Zoomed about the middle of the picture, the pointer there: the status line
    // names the pixel's samples; from 16x the pixels show them.
    auto* preview = player->findChild<vx::PreviewArea*>(QStringLiteral("preview"));
    const QPoint middle(preview->width() / 2, preview->height() / 2);
    QTest::mouseMove(preview, middle);
    QTest::qWait(50);
    Save(*player, folder, QStringLiteral("player_zoom1x"));
    for (const auto& [steps, name] :
         {std::pair{2, "player_zoom4x"}, {2, "player_zoom16x"}, {1, "player_zoom32x"}}) {
      for (int i = 0; i < steps; ++i) preview->zoomIn(middle);
      QTest::mouseMove(preview, middle + QPoint(1, 0));
      QTest::mouseMove(preview, middle);
      QTest::qWait(50);
      Save(*player, folder, QLatin1String(name));
    }
    player->Exit();
    settings.Grid1 = one;
    settings.Grid2 = two;
  }
  if (!uhdClip.isEmpty()) {
    // A 2160p clip: the window keeps to the screen and the picture scrolls.
    vx::CVideoPlayer* player = new vx::CVideoPlayer;
    vx::ImageFormat uhd{.SamplingFormat = vx::YUV_420,
                        .FieldFormat = vx::Progressive,
                        .PixelFormat = vx::Planar,
                        .ImageResolution = vx::kCustomResolution,
                        .ImgWidth = 3840,
                        .ImgHeight = 2160};
    player->move(150, 60);
    player->ChooseFiles({uhdClip}, &uhd);
    player->findChild<QPushButton*>(QStringLiteral("stepForward"))->click();
    QTest::qWait(500);
    Save(*player, folder, QStringLiteral("player_2160p"));
    player->Exit();
  }
  {
    // Cropping in the middle of a job: outline and the darkened outside.
    vx::CImageCrop* crop = new vx::CImageCrop;
    crop->setWindowTitle(QStringLiteral("Image Cropping"));
    crop->show();
    crop->ChooseSource(clip, format.format(), 200);
    Child<QLineEdit>(*crop, "topBox")->setText(QStringLiteral("60"));
    Child<QLineEdit>(*crop, "leftBox")->setText(QStringLiteral("80"));
    Child<QLineEdit>(*crop, "widthBox")->setText(QStringLiteral("200"));
    Child<QLineEdit>(*crop, "heightBox")->setText(QStringLiteral("160"));
    crop->CheckTop();
    crop->CheckLeft();
    crop->CheckWidth();
    crop->CheckHeight();
    crop->Start();
    crop->PauseClicked();
    for (int i = 0; i < 200 && Child<QLineEdit>(*crop, "frameNumberBox")->text().toInt() < 10; ++i) {
      crop->PauseClicked();
      QThread::usleep(500);
      crop->PauseClicked();
      QTest::qWait(20);
    }
    Save(*crop, folder, QStringLiteral("crop"));
    StopAndClose(*crop);
    // Joining the clip to itself, after the job.
    vx::CJoinFile* join = new vx::CJoinFile;
    join->setWindowTitle(QStringLiteral("Join Two YUV Files Into One File"));
    join->show();
    join->ChooseFirst(clip, format.format());
    join->ChooseSecond(clip, format.format());
    join->targetBox()->setText(QDir(folder).filePath(QStringLiteral("joined.yuv")));
    join->Start();
    (void)QTest::qWaitFor([&] { return !join->WorkerRunning(); }, 10000);
    QTest::qWait(200);
    for (QWidget* w : QApplication::topLevelWidgets()) {
      if (auto* box = qobject_cast<QMessageBox*>(w)) box->accept();
    }
    Save(*join, folder, QStringLiteral("join"));
    join->close();
    // PSNR of the clip against a copy with a small error in every fifth byte, after the run.
    const QString changed = QDir(folder).filePath(QStringLiteral("changed.uyvy"));
    {
      QFile in(clip), out(changed);
      if (in.open(QIODevice::ReadOnly) && out.open(QIODevice::WriteOnly)) {
        QByteArray bytes = in.readAll();
        for (qsizetype i = 0; i < bytes.size(); i += 5) bytes[i] = static_cast<char>(bytes[i] ^ (i % 7));
        out.write(bytes);
      }
    }
    vx::CPSNR* psnr = new vx::CPSNR;
    psnr->show();
    psnr->ChooseFile(1, clip, format.format(), format.frameCount());
    psnr->ChooseFile(2, changed, format.format(), format.frameCount());
    Child<QLineEdit>(*psnr, "reportBox")->setText(QDir(folder).filePath(QStringLiteral("psnr.xls")));
    psnr->Start();
    (void)QTest::qWaitFor([&] { return !psnr->WorkerRunning(); }, 10000);
    QTest::qWait(200);
    for (QWidget* w : QApplication::topLevelWidgets()) {
      if (auto* box = qobject_cast<QMessageBox*>(w)) box->accept();
    }
    Save(*psnr, folder, QStringLiteral("psnr"));
    // PSNR and SSIM measured together: both plots.
    psnr->SelectMetric(vx::PsnrMetric::Both);
    psnr->Start();
    (void)QTest::qWaitFor([&] { return !psnr->WorkerRunning(); }, 20000);
    QTest::qWait(200);
    for (QWidget* w : QApplication::topLevelWidgets()) {
      if (auto* box = qobject_cast<QMessageBox*>(w)) box->accept();
    }
    QTest::qWait(200);
    Save(*psnr, folder, QStringLiteral("psnr_both"));
    psnr->close();
    CompareWindows(clip, changed, format.format(), folder);
  }
  ComponentWindows(clip, format.format(), folder);
  EditorWindows(clip, format.format(), folder);
  MotionAndOverlayWindows(clip, format.format(), folder);
  if (argc > 5) AviWindows(QString::fromLocal8Bit(argv[5]), clip, format.format(), folder);
  LargePictureWindows(hdClip, 1920, 1080, folder);
  if (!uhdClip.isEmpty()) LargePictureWindows(uhdClip, 3840, 2160, folder);
  vx::CAboutBox about;
  Save(about, folder, QStringLiteral("about"));
  vx::CHelpWindow help;
  Save(help, folder, QStringLiteral("help"));
  return 0;
}
