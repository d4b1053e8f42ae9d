#include "ui/controls/FormatDialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QMessageBox>
#include <QPainter>
#include <QVBoxLayout>

#include "display/DisplayConvert.h"
#include "display/FormatLabel.h"
#include "image/FormatRules.h"
#include "image/FrameFile.h"
#include "image/SampleStorage.h"
#include "model/Settings.h"
#include "platform/MessageSink.h"
#include "platform/StringFormat.h"
#include "ui/controls/FileNameDialogs.h"
#include "ui/controls/NamedWidget.h"
#include "ui/controls/OkCancelButtons.h"

namespace vx {

// The three panels of the preview: the layout's structure, the first frame, and
// its raw bytes.
class FormatPreviewPanels : public QWidget {
 public:
  explicit FormatPreviewPanels(QWidget* parent) : QWidget(parent) {
    setMinimumSize(3 * kPanel + 4 * kGap, kPanel + 40);
  }
  static constexpr int kPanel = 300;
  static constexpr int kGap = 12;

  void Set(std::vector<DiagramBox> diagram, std::optional<DisplayPicture> image,
           std::optional<DisplayPicture> dump) {
    diagram_ = std::move(diagram);
    image_ = std::move(image);
    dump_ = std::move(dump);
    update();
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    p.fillRect(rect(), QColor(58, 64, 74));
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(16);
    font.setBold(true);
    p.setFont(font);
    const char* const titles[3] = {"Structure Diagram", "Image Preview (scaled)",
                                   "Binary Data Dumped Out (scaled)"};
    for (int i = 0; i < 3; ++i) {
      const QRect title(kGap + i * (kPanel + kGap), 6, kPanel, 24);
      p.setPen(Qt::white);
      p.drawText(title, Qt::AlignCenter, QString::fromLatin1(titles[i]));
    }
    DrawDiagram(p, Panel(0));
    DrawPicture(p, Panel(1), image_);
    DrawPicture(p, Panel(2), dump_);
  }

 private:
  QRect Panel(int i) const { return QRect(kGap + i * (kPanel + kGap), 34, kPanel, kPanel); }

  void DrawDiagram(QPainter& p, const QRect& panel) {
    if (diagram_.empty()) return;
    double w = 0, h = 0;
    for (const DiagramBox& b : diagram_) {
      w = std::max(w, b.x + b.width);
      h = std::max(h, b.y + b.height);
    }
    const double scale = std::min((panel.width() - 8) / w, (panel.height() - 8) / h);
    const QPointF origin(panel.x() + (panel.width() - w * scale) / 2,
                         panel.y() + (panel.height() - h * scale) / 2);
    QFont font = p.font();
    font.setPixelSize(12);
    p.setFont(font);
    for (const DiagramBox& b : diagram_) {
      const QRectF r(origin.x() + b.x * scale, origin.y() + b.y * scale, b.width * scale, b.height * scale);
      p.setPen(QPen(QColor(b.frame.Red, b.frame.Green, b.frame.Blue), 2));
      p.setBrush(QColor(b.fill.Red, b.fill.Green, b.fill.Blue));
      p.drawRect(r.adjusted(1, 1, -1, -1));
      p.setPen(QColor(40, 40, 48));
      p.drawText(r, Qt::AlignCenter | Qt::TextWordWrap, QString::fromStdString(b.label));
    }
  }

  static void DrawPicture(QPainter& p, const QRect& panel, const std::optional<DisplayPicture>& picture) {
    if (!picture || picture->rows.empty()) return;
    const int pitch = static_cast<int>(DisplayRowPitch(picture->width, true));
    const QImage stored(picture->rows.data(), picture->width, picture->height, pitch, QImage::Format_BGR888);
    const QImage shown = stored.mirrored();
    p.drawImage(QPoint(panel.x() + (panel.width() - shown.width()) / 2,
                       panel.y() + (panel.height() - shown.height()) / 2),
                shown);
  }

  std::vector<DiagramBox> diagram_;
  std::optional<DisplayPicture> image_, dump_;
};

CCustomizedResolution::CCustomizedResolution(int32_t width, int32_t height, int32_t sampling, int32_t field,
                                             QWidget* parent)
    : QDialog(parent),
      widthEdit_(new QLineEdit(QString::number(width), this)),
      heightEdit_(new QLineEdit(QString::number(height), this)),
      width_(width),
      height_(height),
      sampling_(sampling),
      field_(field) {
  setWindowTitle(QStringLiteral("Customized Resolution"));
  widthEdit_->setObjectName(QStringLiteral("widthBox"));
  heightEdit_->setObjectName(QStringLiteral("heightBox"));
  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("Image Width:"), widthEdit_);
  form->addRow(QStringLiteral("Image Height:"), heightEdit_);
  auto* buttons = MakeOkCancelButtons(this);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addWidget(buttons);
  // The two short boxes would make the window narrower than its title, which the
  // window manager then cuts: room for the title and the frame's buttons.
  setMinimumWidth(fontMetrics().horizontalAdvance(windowTitle()) + 160);
}

void CCustomizedResolution::accept() {
  const int32_t w = ParseLeadingInt(widthEdit_->text().toStdString());
  const int32_t h = ParseLeadingInt(heightEdit_->text().toStdString());
  if (auto refusal = ValidateCustomResolution(w, h, sampling_, field_)) {
    ShowMessage(*refusal);
    return;
  }
  width_ = w;
  height_ = h;
  QDialog::accept();
}

QStringList CFECFileDialog::GetOpenFileNames(QWidget* parent, const QString& caption, const QString& filter) {
  return AskOpenFileNames(parent, caption, QString(), filter);
}

CYuvFrmtDlg::CYuvFrmtDlg(QWidget* parent) : CYuvFrmtDlg(parent, CurrentSettings().Format) {}

CYuvFrmtDlg::CYuvFrmtDlg(QWidget* parent, const ImageFormat& preset) : QDialog(parent), format_(preset) {
  setWindowTitle(QStringLiteral("Format Settings"));
  sampling_ = MakeNamed<QComboBox>(QStringLiteral("samplingList"), this);
  resolution_ = MakeNamed<QComboBox>(QStringLiteral("resolutionList"), this);
  field_ = MakeNamed<QComboBox>(QStringLiteral("fieldList"), this);
  packing_ = MakeNamed<QComboBox>(QStringLiteral("packingList"), this);
  order_ = MakeNamed<QComboBox>(QStringLiteral("orderList"), this);
  fourcc_ = MakeNamed<QComboBox>(QStringLiteral("fourccList"), this);
  bits_ = MakeNamed<QComboBox>(QStringLiteral("bitsList"), this);
  bits_->setToolTip(
      QStringLiteral("Above 8 bits each sample is a 16-bit little-endian word: planar and mono "
                     "files keep the value in its low bits, semi-planar ones (P010) in its high bits"));
  summary_ = new QLabel(this);
  panels_ = new FormatPreviewPanels(this);

  auto* settings = new QGroupBox(QStringLiteral("Open this file with following settings"), this);
  auto* form = new QFormLayout(settings);
  form->addRow(QStringLiteral("Sampling Format:"), sampling_);
  form->addRow(QStringLiteral("Image Resolution:"), resolution_);
  form->addRow(QStringLiteral("Interlace/Progressive:"), field_);
  form->addRow(QStringLiteral("Packed/Planar:"), packing_);
  form->addRow(QStringLiteral("Component Order:"), order_);
  form->addRow(QStringLiteral("Bits per Sample:"), bits_);
  form->addRow(QStringLiteral("Select by FOURCC:"), fourcc_);
  form->addRow(summary_);
  auto* previewGroup = new QGroupBox(QStringLiteral("Preview of first frame based on above settings"), this);
  auto* previewLayout = new QVBoxLayout(previewGroup);
  previewLayout->addWidget(panels_);
  auto* buttons = MakeOkCancelButtons(this);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(settings);
  layout->addWidget(previewGroup, 1);
  layout->addWidget(buttons);

  connect(sampling_, &QComboBox::activated, this, &CYuvFrmtDlg::OnSampling);
  connect(field_, &QComboBox::activated, this, &CYuvFrmtDlg::OnField);
  connect(packing_, &QComboBox::activated, this, &CYuvFrmtDlg::OnPacking);
  connect(order_, &QComboBox::activated, this, &CYuvFrmtDlg::OnOrder);
  connect(fourcc_, &QComboBox::activated, this, &CYuvFrmtDlg::OnFourcc);
  connect(resolution_, &QComboBox::activated, this, &CYuvFrmtDlg::OnResolution);
  connect(bits_, &QComboBox::activated, this, &CYuvFrmtDlg::OnBits);
}

void CYuvFrmtDlg::SetFile(const QString& path) {
  path_ = path;
  readFile_ = true;
}

void CYuvFrmtDlg::SetTargetName(const QString& path) {
  path_ = path;
  readFile_ = false;
}

int CYuvFrmtDlg::exec() {
  Prepare();
  return QDialog::exec();
}

void CYuvFrmtDlg::Prepare() {
  if (prepared_) return;
  prepared_ = true;
  if (!path_.isEmpty()) {
    setWindowTitle(path_);
    GuessFormatFromFileName(path_.toStdString(), format_);
    // A Y4M file says what its frames are.
    const FrameFileProbe probe = readFile_ ? ProbeFrameFile(path_.toStdString()) : FrameFileProbe{};
    if (probe.layout) format_ = *probe.layout;
  }
  // Each value limited to its list's range.
  if (format_.SamplingFormat < YUV_444 || format_.SamplingFormat > BMP) format_.SamplingFormat = YUV_422;
  if (format_.ImageResolution < 0 || format_.ImageResolution > kCustomResolution) format_.ImageResolution = 6;
  if (format_.FieldFormat < Interlaced || format_.FieldFormat > Progressive) format_.FieldFormat = Interlaced;
  if (format_.PixelFormat < Packed || format_.PixelFormat > SemiPlanar) format_.PixelFormat = Planar;
  if (StoredLayoutRefusal(format_)) format_.BitsPerSample = 8;
  if (refuseMono_ && format_.SamplingFormat == MONO) format_.SamplingFormat = YUV_444;
  if (leaveOutBmp_ && format_.SamplingFormat == BMP) format_.SamplingFormat = YUV_444;
  BuildLists();
  SyncLists();
  RefreshPreview();
}

void CYuvFrmtDlg::BuildLists() {
  syncing_ = true;
  for (size_t i = 0; i < kSamplingListTexts.size(); ++i) {
    if (leaveOutBmp_ && static_cast<int32_t>(i) == BMP) continue;
    sampling_->addItem(QString::fromLatin1(kSamplingListTexts[i]));
  }
  for (const ResolutionEntry& r : kResolutions) resolution_->addItem(QString::fromLatin1(r.listText));
  for (const char* t : kFieldListTexts) field_->addItem(QString::fromLatin1(t));
  for (const char* t : kPackingListTexts) packing_->addItem(QString::fromLatin1(t));
  for (const FourccEntry& f : kFourccs) fourcc_->addItem(QString::fromLatin1(f.listText));
  for (const int32_t bits : kBitDepths) bits_->addItem(QString::number(bits), bits);
  syncing_ = false;
}

void CYuvFrmtDlg::FillOrderList() {
  order_->clear();
  const auto choices = ComponentChoices(format_.SamplingFormat, format_.PixelFormat);
  int selected = 0;
  for (size_t i = 0; i < choices.size(); ++i) {
    order_->addItem(QString::fromLatin1(choices[i].text), choices[i].value);
    if (choices[i].value == format_.ComponentOrder) selected = static_cast<int>(i);
  }
  // An order the sampling does not offer becomes the list's first one.
  if (!choices.empty() && choices[static_cast<size_t>(selected)].value >= 0) {
    format_.ComponentOrder = choices[static_cast<size_t>(selected)].value;
  }
  order_->setCurrentIndex(selected);
}

void CYuvFrmtDlg::SyncLists() {
  syncing_ = true;
  sampling_->setCurrentIndex(format_.SamplingFormat);
  field_->setCurrentIndex(format_.FieldFormat);
  packing_->setCurrentIndex(format_.PixelFormat);
  FillOrderList();
  DeriveFourcc(format_);
  fourcc_->setCurrentIndex(format_.Fourcc);
  if (format_.ImageResolution == kCustomResolution && format_.ImgWidth > 0) SetCustomEntry();
  resolution_->setCurrentIndex(format_.ImageResolution);
  bits_->setCurrentIndex(bits_->findData(format_.BitsPerSample));
  syncing_ = false;
}

void CYuvFrmtDlg::SetCustomEntry() {
  resolution_->setItemText(
      kCustomResolution,
      QString::fromStdString(StrFormat("Customized WxH: %dx%d", format_.ImgWidth, format_.ImgHeight)));
}

void CYuvFrmtDlg::Apply(const FormatChoice& choice) {
  for (const std::string& message : choice.messages) ShowMessage(message);
  format_ = choice.format;
  SyncLists();
  RefreshPreview();
}

void CYuvFrmtDlg::OnSampling(int index) {
  if (syncing_) return;
  Apply(ChooseSampling(format_, index, !refuseMono_));
}

void CYuvFrmtDlg::OnField(int index) {
  if (syncing_) return;
  Apply(ChooseFieldFormat(format_, index));
}

void CYuvFrmtDlg::OnPacking(int index) {
  if (syncing_) return;
  Apply(ChoosePixelFormat(format_, index));
}

void CYuvFrmtDlg::OnOrder(int index) {
  if (syncing_ || index < 0) return;
  const int value = order_->itemData(index).toInt();
  if (value >= 0) format_.ComponentOrder = value;
  DeriveFourcc(format_);
  syncing_ = true;
  fourcc_->setCurrentIndex(format_.Fourcc);
  syncing_ = false;
  RefreshPreview();
}

void CYuvFrmtDlg::OnFourcc(int index) {
  if (syncing_ || index <= 0) return;
  ApplyFourcc(index, format_);
  format_.Fourcc = index;
  SyncLists();
  syncing_ = true;
  fourcc_->setCurrentIndex(index);  // an alias stays selected
  syncing_ = false;
  RefreshPreview();
}

void CYuvFrmtDlg::OnResolution(int index) {
  if (syncing_ || index < 0) return;
  if (index != kCustomResolution) {
    format_.ImageResolution = index;
    ResolutionSize(index, format_.ImgWidth, format_.ImgHeight);
  } else {
    CCustomizedResolution custom(format_.ImgWidth, format_.ImgHeight, format_.SamplingFormat,
                                 format_.FieldFormat, this);
    if (custom.exec() == QDialog::Accepted) {
      format_.ImgWidth = custom.width();
      format_.ImgHeight = custom.height();
      format_.ImageResolution = kCustomResolution;
      SetCustomEntry();
    }
    syncing_ = true;
    resolution_->setCurrentIndex(format_.ImageResolution);
    syncing_ = false;
  }
  RefreshPreview();
}

void CYuvFrmtDlg::OnBits(int index) {
  if (syncing_ || index < 0) return;
  Apply(ChooseBits(format_, bits_->itemData(index).toInt()));
}

void CYuvFrmtDlg::RefreshPreview() {
  diagram_ = StructureDiagram(format_);
  std::optional<DisplayPicture> image, dump;
  const bool read = readFile_ && !path_.isEmpty();
  if (read && preview_.Load(path_.toStdString(), format_)) {
    const int panel = FormatPreviewPanels::kPanel;
    image = preview_.ImagePicture(*CurrentColourTables(), panel, panel, PreviewPath::First);
    dump = preview_.DumpPicture(panel, panel);
  }
  summary_->setText(!read ? QString::fromStdString(FormatLabel(format_))
                          : QString::fromStdString(FormatLabelWithFrames(format_, preview_.FrameCount())));
  panels_->Set(diagram_, std::move(image), std::move(dump));
}

void CYuvFrmtDlg::accept() {
  const int orderIndex = order_->count() > 0 ? order_->currentIndex() : -1;
  if (auto refusal =
          CheckFormatSelections(sampling_->currentIndex(), field_->currentIndex(), packing_->currentIndex(),
                                orderIndex, resolution_->currentIndex())) {
    ShowMessage(*refusal);
    return;
  }
  if (format_.ImageResolution != kCustomResolution)
    ResolutionSize(format_.ImageResolution, format_.ImgWidth, format_.ImgHeight);
  DeriveFourcc(format_);
  const int selectedFourcc = fourcc_->currentIndex();
  if (selectedFourcc > 0 &&
      kFourccs[static_cast<size_t>(selectedFourcc)].sampling == format_.SamplingFormat) {
    format_.Fourcc = selectedFourcc;  // an alias chosen by name is kept
  }
  CurrentSettings().Format = format_;
  QDialog::accept();
}

}  // namespace vx
