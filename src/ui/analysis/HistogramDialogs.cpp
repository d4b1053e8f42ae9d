#include "ui/analysis/HistogramDialogs.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <vector>

#include "display/DisplayConvert.h"
#include "image/ColorFormula.h"
#include "platform/MessageSink.h"
#include "platform/StringFormat.h"

namespace vx {
namespace {

constexpr double kUnit = 2.0;  // screen pixels per dialog unit of the value histogram

QFont LabelFont() {
  QFont font(QStringLiteral("Arial"));
  font.setBold(true);
  font.setPixelSize(16);
  return font;
}

// The value histogram's picture: a black frame with the bars in blue outline.
class HistogramCanvas : public QWidget {
 public:
  HistogramCanvas(const std::array<int, 256>& bars, QWidget* parent) : QWidget(parent), bars_(bars) {
    setFixedSize(static_cast<int>(320 * kUnit), static_cast<int>(250 * kUnit));
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    p.fillRect(rect(), palette().window());
    p.scale(kUnit, kUnit);
    p.setPen(QPen(Qt::black, 0));
    p.drawRect(QRectF(32, 16, 256, 200));
    p.setPen(QPen(Qt::blue, 0));
    for (int v = 0; v < 256; ++v) {
      const int h = bars_[static_cast<size_t>(v)];
      if (h > 0) p.drawRect(QRectF(32 + v, 216 - h, 1, h));
    }
    p.resetTransform();
    p.setPen(Qt::black);
    p.setFont(LabelFont());
    p.drawText(QPointF(32 * kUnit, 236 * kUnit), QStringLiteral("0"));
    p.drawText(QPointF(288 * kUnit - p.fontMetrics().horizontalAdvance(QStringLiteral("255")), 236 * kUnit),
               QStringLiteral("255"));
  }

 private:
  const std::array<int, 256>& bars_;
};

// A packed 4:4:4 YUV picture as an RGB image.
QImage PictureImage(const FrameImage& picture) {
  if (!picture.Data || picture.ImgWidth <= 0 || picture.ImgHeight <= 0) return {};
  QImage image(picture.ImgWidth, picture.ImgHeight, QImage::Format_RGB888);
  std::vector<uint8_t> rows(static_cast<size_t>(3 * int64_t{picture.ImgWidth} * picture.ImgHeight));
  if (!ConvertToDisplayRGB(
          *CurrentColourTables(),
          std::span<const uint8_t>(picture.Data,
                                   static_cast<size_t>(3 * int64_t{picture.ImgWidth} * picture.ImgHeight)),
          rows, picture.ImgWidth, picture.ImgHeight, DisplayRowsOptions{}))
    return {};
  for (int y = 0; y < picture.ImgHeight; ++y)
    std::copy_n(rows.data() + 3 * int64_t{y} * picture.ImgWidth, 3 * picture.ImgWidth, image.scanLine(y));
  return image;
}

}  // namespace

// The 3-D chart: the grey base plane, the picture mapped onto it, the red bars.
class ChartCanvas : public QWidget {
 public:
  ChartCanvas(const CellBars& cells, const ChartView& view, QWidget* parent)
      : QWidget(parent), cells_(cells), view_(view) {
    setFixedSize(760, 540);
  }
  int mode = 1;
  int blockSize = 8;
  const QImage* texture = nullptr;

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.fillRect(rect(), palette().window());
    DrawBox(p, {0, 0, 320, 320, -8, 0}, {128, 148, 168}, false);
    if (mode == 0 && texture && !texture->isNull()) DrawTexture(p);
    // Bars from the farthest to the nearest.
    struct Bar {
      double x0, y0, x1, y1, h, depth;
    };
    std::vector<Bar> bars;
    const double spacing = mode == 0 ? 10.0 : 320.0 / blockSize;
    const double foot = mode == 0 ? 8.0 : 0.8 * spacing;
    const int rows = mode == 0 ? cells_.rows : blockSize, columns = mode == 0 ? cells_.columns : blockSize;
    for (int r = 0; r < rows && r < 32; ++r) {
      for (int c = 0; c < columns && c < 32; ++c) {
        const int h = cells_.bars[static_cast<size_t>(r)][static_cast<size_t>(c)];
        if (h <= 0) continue;
        const double x = spacing * c, y = spacing * r;
        bars.push_back(
            {x, y, x + foot, y + foot, double(h), Project(view_, x + foot / 2, y + foot / 2, 0).depth});
      }
    }
    std::sort(bars.begin(), bars.end(), [](const Bar& a, const Bar& b) { return a.depth < b.depth; });
    for (const Bar& b : bars) DrawBox(p, {b.x0, b.y0, b.x1, b.y1, 0, b.h}, {100, 150, 200}, true);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(Qt::black);
    p.setBrush(Qt::NoBrush);
    p.drawRect(rect().adjusted(0, 0, -1, -1));
  }

 private:
  struct Extent {
    double x0, y0, x1, y1, z0, z1;
  };
  // A box with its three visible faces in three shades (y faces, x faces, top).
  void DrawBox(QPainter& p, const Extent& e, std::array<int, 3> shades, bool red) const {
    constexpr double kPi = 3.141592;
    const double turn = view_.turn * kPi / 180, tilt = view_.tilt * kPi / 180;
    auto facing = [&](double nx, double ny, double nz) {
      const double y1 = nx * std::sin(turn) + ny * std::cos(turn);
      return y1 * std::sin(tilt) + nz * std::cos(tilt) > 1e-9;
    };
    auto point = [&](double x, double y, double z) {
      const Projected q = Project(view_, x, y, z);
      return QPointF(q.x, q.y);
    };
    auto colour = [&](int level) { return red ? QColor(level, 0, 0) : QColor(level, level, level); };
    struct Face {
      double nx, ny, nz;
      std::array<std::array<double, 3>, 4> corners;
      int shade;
    };
    const Face faces[] = {
        {0, 0, 1, {{{e.x0, e.y0, e.z1}, {e.x1, e.y0, e.z1}, {e.x1, e.y1, e.z1}, {e.x0, e.y1, e.z1}}}, 2},
        {0, 0, -1, {{{e.x0, e.y0, e.z0}, {e.x1, e.y0, e.z0}, {e.x1, e.y1, e.z0}, {e.x0, e.y1, e.z0}}}, 2},
        {1, 0, 0, {{{e.x1, e.y0, e.z0}, {e.x1, e.y1, e.z0}, {e.x1, e.y1, e.z1}, {e.x1, e.y0, e.z1}}}, 1},
        {-1, 0, 0, {{{e.x0, e.y0, e.z0}, {e.x0, e.y1, e.z0}, {e.x0, e.y1, e.z1}, {e.x0, e.y0, e.z1}}}, 1},
        {0, 1, 0, {{{e.x0, e.y1, e.z0}, {e.x1, e.y1, e.z0}, {e.x1, e.y1, e.z1}, {e.x0, e.y1, e.z1}}}, 0},
        {0, -1, 0, {{{e.x0, e.y0, e.z0}, {e.x1, e.y0, e.z0}, {e.x1, e.y0, e.z1}, {e.x0, e.y0, e.z1}}}, 0},
    };
    for (const Face& f : faces) {
      if (!facing(f.nx, f.ny, f.nz)) continue;
      QPolygonF polygon;
      for (const auto& c : f.corners) polygon << point(c[0], c[1], c[2]);
      const QColor fill = colour(shades[static_cast<size_t>(f.shade)]);
      p.setPen(QPen(fill.darker(130), 0));
      p.setBrush(fill);
      p.drawPolygon(polygon);
    }
  }

  // The picture on the part of the base plane its cells cover.
  void DrawTexture(QPainter& p) const {
    const double w = cells_.columns * 10.0, h = cells_.rows * 10.0;
    QPolygonF quad;
    for (const auto& [x, y] : {std::pair{0.0, 0.0}, std::pair{w, 0.0}, std::pair{w, h}, std::pair{0.0, h}}) {
      const Projected q = Project(view_, x, y, 0);
      quad << QPointF(q.x, q.y);
    }
    QTransform transform;
    const QRectF source(0, 0, texture->width(), texture->height());
    if (!QTransform::quadToQuad(QPolygonF(source), quad, transform)) return;
    p.save();
    p.setTransform(transform, true);
    p.setRenderHint(QPainter::SmoothPixmapTransform, false);
    p.drawImage(QPointF(0, 0), *texture);
    p.restore();
  }

  const CellBars& cells_;
  const ChartView& view_;
};

CYUVDiffValueHistogram::CYUVDiffValueHistogram(const FrameImage& difference, QWidget* parent)
    : QDialog(parent), bars_(ValueBars(difference)) {
  setWindowTitle(QStringLiteral("Diagram of YUV difference value distribution"));
  auto* canvas = new HistogramCanvas(bars_, this);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(canvas);
  layout->addWidget(buttons);
}

CYUVDiffPositionDistribution::CYUVDiffPositionDistribution(const FrameImage& difference,
                                                           const FrameImage& first, const FrameImage& second,
                                                           QWidget* parent)
    : QDialog(parent), difference_(difference) {
  setWindowTitle(QStringLiteral("YUV difference value distribution for specified block size"));
  if (!WorkBufferSizeSupported(difference.ImgWidth, difference.ImgHeight)) {
    ShowMessage(StrFormat("Error DIST1001: Image size (%d, %d) not support !\n", difference.ImgWidth,
                          difference.ImgHeight));
    valid_ = false;
  } else {
    pictures_ = {PictureImage(first), PictureImage(second)};
  }
  canvas_ = new ChartCanvas(cells_, view_, this);

  auto* modeGroup = new QGroupBox(this);
  modes_[0] = new QRadioButton(
      QStringLiteral("Display how the difference values are distributed across the whole images"), modeGroup);
  modes_[1] = new QRadioButton(
      QStringLiteral(
          "Display how the difference values are distributed on the boundaries of the specified block size:"),
      modeGroup);
  modes_[1]->setChecked(true);
  modes_[0]->setObjectName(QStringLiteral("wholePictureRadio"));
  modes_[1]->setObjectName(QStringLiteral("blockBoundariesRadio"));
  blockBox_ = new QLineEdit(QStringLiteral("8"), modeGroup);
  blockBox_->setObjectName(QStringLiteral("blockBox"));
  blockBox_->setReadOnly(true);
  blockBox_->setMaximumWidth(50);
  blockSize_ = new QSlider(Qt::Horizontal, modeGroup);
  blockSize_->setObjectName(QStringLiteral("blockSlider"));
  blockSize_->setRange(4, 32);
  blockSize_->setValue(8);
  blockDown_ = new QPushButton(QStringLiteral("<"), modeGroup);
  blockUp_ = new QPushButton(QStringLiteral(">"), modeGroup);
  blockDown_->setObjectName(QStringLiteral("smallerBlockButton"));
  blockUp_->setObjectName(QStringLiteral("largerBlockButton"));
  auto* modeLayout = new QGridLayout(modeGroup);
  modeLayout->addWidget(modes_[0], 0, 0, 1, 5);
  modeLayout->addWidget(modes_[1], 1, 0, 1, 5);
  modeLayout->addWidget(new QLabel(QStringLiteral("Block Size:"), modeGroup), 2, 0);
  modeLayout->addWidget(blockBox_, 2, 1);
  modeLayout->addWidget(blockDown_, 2, 2);
  modeLayout->addWidget(blockSize_, 2, 3);
  modeLayout->addWidget(blockUp_, 2, 4);

  auto* heightGroup = new QGroupBox(QStringLiteral("Adjust the bar height:"), this);
  barHeight_ = new QSlider(Qt::Horizontal, heightGroup);
  barHeight_->setObjectName(QStringLiteral("heightSlider"));
  barHeight_->setRange(0, kHistogramTop);
  barHeight_->setValue(kHistogramTop);
  heightDown_ = new QPushButton(QStringLiteral("<"), heightGroup);
  heightUp_ = new QPushButton(QStringLiteral(">"), heightGroup);
  auto* heightLayout = new QHBoxLayout(heightGroup);
  heightLayout->addWidget(heightDown_);
  heightLayout->addWidget(barHeight_);
  heightLayout->addWidget(heightUp_);

  auto* imageGroup = new QGroupBox(QStringLiteral("Image to map to the base plane:"), this);
  const char* imageNames[] = {"Show no image", "Show image #1 ", "Show image #2 "};
  auto* imageLayout = new QVBoxLayout(imageGroup);
  for (size_t i = 0; i < 3; ++i) {
    images_[i] = new QRadioButton(QString::fromLatin1(imageNames[i]), imageGroup);
    imageLayout->addWidget(images_[i]);
    connect(images_[i], &QRadioButton::toggled, this, [this](bool on) {
      if (on) Recompute();
    });
  }
  images_[0]->setChecked(true);
  images_[0]->setObjectName(QStringLiteral("noImageRadio"));
  images_[1]->setObjectName(QStringLiteral("image1Radio"));
  images_[2]->setObjectName(QStringLiteral("image2Radio"));

  auto* rotateGroup = new QGroupBox(QStringLiteral("Rotate the display in 3D:"), this);
  const char* arrows[] = {"\u25B2", "\u25BC", "\u25B6", "\u25C0"};
  auto* rotateLayout = new QGridLayout(rotateGroup);
  for (size_t i = 0; i < 4; ++i) rotate_[i] = new QPushButton(QString::fromUtf8(arrows[i]), rotateGroup);
  rotate_[0]->setToolTip(QStringLiteral("Tilt up"));
  rotate_[1]->setToolTip(QStringLiteral("Tilt down"));
  rotate_[2]->setToolTip(QStringLiteral("Turn"));
  rotate_[3]->setToolTip(QStringLiteral("Turn back"));
  rotate_[0]->setObjectName(QStringLiteral("tiltUpButton"));
  rotate_[1]->setObjectName(QStringLiteral("tiltDownButton"));
  rotate_[2]->setObjectName(QStringLiteral("turnButton"));
  rotate_[3]->setObjectName(QStringLiteral("turnBackButton"));
  rotateLayout->addWidget(rotate_[0], 0, 1);
  rotateLayout->addWidget(rotate_[3], 1, 0);
  rotateLayout->addWidget(rotate_[2], 1, 2);
  rotateLayout->addWidget(rotate_[1], 2, 1);
  connect(rotate_[0], &QPushButton::clicked, this, [this] {
    if (view_.RaiseTilt()) canvas_->update();
  });
  connect(rotate_[1], &QPushButton::clicked, this, [this] {
    if (view_.LowerTilt()) canvas_->update();
  });
  connect(rotate_[2], &QPushButton::clicked, this, [this] {
    if (view_.RaiseTurn()) canvas_->update();
  });
  connect(rotate_[3], &QPushButton::clicked, this, [this] {
    if (view_.LowerTurn()) canvas_->update();
  });

  for (QRadioButton* m : modes_)
    connect(m, &QRadioButton::toggled, this, [this](bool on) {
      if (on) Recompute();
    });
  connect(blockSize_, &QSlider::valueChanged, this, &CYUVDiffPositionDistribution::Recompute);
  connect(barHeight_, &QSlider::valueChanged, this, &CYUVDiffPositionDistribution::Recompute);
  connect(blockUp_, &QPushButton::clicked, this,
          [this] { blockSize_->setValue(std::min(blockSize_->value() + 1, 32)); });
  connect(blockDown_, &QPushButton::clicked, this,
          [this] { blockSize_->setValue(std::max(blockSize_->value() - 1, 4)); });
  connect(heightUp_, &QPushButton::clicked, this,
          [this] { barHeight_->setValue(std::min(barHeight_->value() + 1, kHistogramTop)); });
  connect(heightDown_, &QPushButton::clicked, this,
          [this] { barHeight_->setValue(std::max(barHeight_->value() - 1, 0)); });

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* side = new QVBoxLayout;
  side->addWidget(modeGroup);
  side->addWidget(heightGroup);
  side->addWidget(imageGroup);
  side->addWidget(rotateGroup);
  side->addStretch();
  side->addWidget(buttons);
  auto* layout = new QHBoxLayout(this);
  layout->addWidget(canvas_);
  layout->addLayout(side);
  Recompute();
}

QWidget* CYUVDiffPositionDistribution::chart() const {
  return canvas_;
}

int CYUVDiffPositionDistribution::Mode() const {
  return modes_[0]->isChecked() ? 0 : 1;
}

int CYUVDiffPositionDistribution::BaseImage() const {
  return images_[1]->isChecked() ? 1 : images_[2]->isChecked() ? 2 : 0;
}

void CYUVDiffPositionDistribution::UpdateEnabled() {
  const bool folded = Mode() == 1;
  for (QWidget* w : {static_cast<QWidget*>(blockSize_), static_cast<QWidget*>(blockUp_),
                     static_cast<QWidget*>(blockDown_), static_cast<QWidget*>(blockBox_)})
    w->setEnabled(folded);
  for (QRadioButton* b : images_) b->setEnabled(!folded);
}

void CYUVDiffPositionDistribution::Recompute() {
  UpdateEnabled();
  blockBox_->setText(QString::number(blockSize_->value()));
  if (valid_) MakeCellBars(difference_, Mode(), blockSize_->value(), barHeight_->value(), cells_);
  canvas_->mode = Mode();
  canvas_->blockSize = blockSize_->value();
  const int image = BaseImage();
  canvas_->texture = image > 0 ? &pictures_[static_cast<size_t>(image - 1)] : nullptr;
  canvas_->update();
}

}  // namespace vx
