#include "tools/FrameInput.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "image/Dib.h"
#include "image/SampleStorage.h"
#include "platform/FaultInjection.h"
#include "platform/StringFormat.h"

namespace vx {

FrameImage PictureFormat(int32_t width, int32_t height) {
  FrameImage f;
  f.Fourcc = 0;
  f.ImageResolution = kCustomResolution;
  SetLayoutAndSize(f, {.sampling = BMP, .order = RGB, .field = Progressive, .pixel = Packed}, width, height);
  ComputeFrameSize(f);
  return f;
}

int64_t FrameInput::PictureRead(FrameImage& frame) const {
  static_cast<ImageFormat&>(frame) = input_->format;
  frame.SamplingFormat = RGB_444;
  frame.ComponentOrder = BGR;
  frame.PixelFormat = Packed;
  frame.FieldFormat = Progressive;
  ComputeFrameSize(frame);
  return frame.DataSize;
}

std::string CannotReadMessage(const std::string& path, const char* notFound) {
  if (ExistsButIsNotRegular(path))
    return StrFormat("Error VLTX1018: %s is not a regular file and cannot be read as video!\n", path.c_str());
  return StrFormat(notFound, path.c_str());
}

bool FrameInput::Open(const JobInput& input, Reporter report) {
  input_ = &input;
  report_ = std::move(report);
  next_ = 1;
  framing_ = FrameFraming{};
  index_.reset();
  if (input.avi) {
    avi::OpenFailure failure = avi::OpenFailure::None;
    avi_ = avi::AviReader::Open(input.name, failure);
    if (!avi_) {
      report_(CannotReadMessage(input.name, input.notFound));
      return false;
    }
    if (!avi_->OpenDecoder()) {
      avi_.reset();
      report_(input.aviNoDecoder);
      return false;
    }
    return true;
  }
  if (IsPictureList()) return true;  // pictures are opened one per frame
  auto file = RawFile::OpenRead(input.name);
  if (!file) {
    report_(CannotReadMessage(input.name, input.notFound));
    return false;
  }
  file_ = std::move(*file);
  // An input described without a stored layout is stored as it is handed over.
  stored_ = input.stored.DataSize > 0 ? input.stored : input.format;
  stored_.Data = nullptr;
  converts_ = !SameSamples(stored_, input.format);
  if (converts_ && storedFrame_.size() < stored_.DataSize && !storedFrame_.Allocate(stored_.DataSize)) {
    throw std::bad_alloc();
  }
  const FrameFileProbe probe = ProbeFrameFile(file_, input.name);
  framing_ = probe.framing;
  if (!probe.problem.empty()) {
    report_(probe.problem);
    return false;
  }
  if (probe.layout) {
    if (const auto mismatch = Y4mLayoutMismatch(input.name, *probe.layout, stored_)) {
      report_(*mismatch);
      return false;
    }
  }
  return file_.Seek(framing_.headerBytes);
}

bool FrameInput::PassFrameLine(int64_t frame, bool& atEnd) {
  atEnd = false;
  if (!framing_.y4m) return true;
  const int64_t at = file_.Position();
  if (at < 0 || at >= file_.Length()) {
    atEnd = true;
    return false;
  }
  const auto line = ReadFrameLine(file_, at);
  if (!line) {
    report_(MissingFrameLineMessage(input_->name, frame));
    return false;
  }
  return file_.Seek(at + *line);
}

bool FrameInput::SkipTo(int64_t n) {
  if (IsPictureList()) {
    next_ = n;
    return true;
  }
  if (next_ >= n) return true;
  if (framing_.y4m) {
    // Frame n's line, wherever the lines before differ in length.
    if (Index().Frames() >= n - 1) {
      if (const auto place = Index().Find(file_, n); place && file_.Seek(place->line)) {
        next_ = n;
        return true;
      }
    }
    // A frame missing or damaged on the way: each line is read up to it, to say which.
    for (; next_ < n; ++next_) {
      bool atEnd = false;
      const int64_t at = PassFrameLine(next_, atEnd) ? file_.Position() : -1;
      if (at < 0 || file_.Length() < at + stored_.DataSize || !file_.Seek(at + stored_.DataSize)) {
        if (atEnd || at >= 0) report_(input_->bitstream);
        return false;
      }
    }
    return true;
  }
  // Frames before the start are passed over, not read: a start far into a long
  // file costs nothing. The file must still hold all of them.
  const int64_t at = file_.Position(), to = at + (n - next_) * int64_t{stored_.DataSize};
  if (at < 0 || file_.Length() < to || !file_.Seek(to)) {
    report_(input_->bitstream);
    return false;
  }
  next_ = n;
  return true;
}

std::optional<int64_t> FrameInput::ReadInPlace(FrameImage& frame) {
  // Below this, mapping and unmapping a frame costs more than copying it.
  constexpr int64_t kInPlaceFrom = int64_t{1} << 20;
  if (frame.DataSize < kInPlaceFrom) return std::nullopt;
  const int64_t at = file_.Position();
  auto region = at < 0 ? std::nullopt : MappedRegion::Map(file_, at, frame.DataSize);
  if (!region || !file_.Seek(at + frame.DataSize)) return std::nullopt;
  mapped_ = std::move(region);
  mappedEnd_ = at + frame.DataSize;
  if (testhooks::afterInPlaceRead) testhooks::afterInPlaceRead(file_.Descriptor());
  frame.Data = mapped_->data();
  frame.Capacity = mapped_->size();
  return frame.DataSize;
}

bool FrameInput::ReportedLostBytes() {
  // Pages touched after the cut read as zeros and mark the region; a cut the frame
  // was only written from (the kernel's copy fails instead) shows in the length.
  if (!mapped_ || (!mapped_->LostPages() && file_.Length() >= mappedEnd_)) return false;
  mapped_.reset();  // reported once
  report_(
      StrFormat("Error VLTX1031: %s was cut short while it was being read; the job is stopped and "
                "nothing is written!\n",
                input_->name.c_str()));
  return true;
}

int64_t FrameInput::ReadStored(FrameImage& frame, FrameBytes bytes) {
  bool atEnd = false;
  if (!PassFrameLine(next_ - 1, atEnd)) return atEnd ? 0 : -1;  // Read has moved next_ on
  if (bytes == FrameBytes::InPlace) {
    if (const auto got = ReadInPlace(frame)) return *got;
  }
  return shareReads_ ? ReadFrameShared(file_, frame) : ReadFrame(file_, frame);
}

int64_t FrameInput::ReadConverted(FrameImage& frame, FrameBytes bytes,
                                  const std::function<void(int64_t)>& lumaDone) {
  FrameImage stored = storedFrame_.Frame(stored_);
  const int64_t got = ReadStored(stored, bytes);
  if (got <= 0) return got;
  if (got < stored.DataSize && stored.Data == storedFrame_.data()) {
    std::memset(stored.Data + got, 0, static_cast<size_t>(stored.DataSize - got));  // a short last frame
  }
  static_cast<ImageFormat&>(frame) = input_->format;
  if (!ConvertSamples(stored, frame, lumaDone)) return -1;
  return frame.DataSize;
}

int64_t FrameInput::ReadStoredFrame(int64_t n, FrameImage& frame) {
  next_ = n + 1;
  mapped_.reset();
  if (storedFrame_.size() < stored_.DataSize && !storedFrame_.Allocate(stored_.DataSize))
    throw std::bad_alloc();
  frame = storedFrame_.Frame(stored_);
  const int64_t got = ReadStored(frame, FrameBytes::InPlace);
  if (got > 0 && got < frame.DataSize && frame.Data == storedFrame_.data()) {
    std::memset(frame.Data + got, 0, static_cast<size_t>(frame.DataSize - got));  // a short last frame
  }
  return got;
}

int64_t FrameInput::Read(int64_t n, FrameImage& frame, FrameBytes bytes,
                         const std::function<void(int64_t)>& lumaDone) {
  next_ = n + 1;
  mapped_.reset();  // the frame before is done with
  if (avi_) return ReadAviFrame(n, frame);
  if (!IsPictureList()) return converts_ ? ReadConverted(frame, bytes, lumaDone) : ReadStored(frame, bytes);
  const auto& names = input_->bmpNames;
  const int64_t index = n - 1;
  const int32_t w = input_->format.ImgWidth, h = input_->format.ImgHeight;
  CDib dib;
  auto file = index >= 0 && index < static_cast<int64_t>(names.size())
                  ? RawFile::OpenRead(names[static_cast<size_t>(index)])
                  : std::nullopt;
  const bool loaded = file && dib.Read(*file);
  if (file && !loaded) report_(dib.Error());
  if (!loaded || dib.Width() != w || dib.Height() != h || dib.BitCount() != 24 ||
      3 * int64_t{w} * h > frame.Capacity) {
    report_(input_->bmpLoad);
    return -1;
  }
  // Stored rows are bottom row first: row r of the picture is stored row H - 1 - r.
  const int64_t row = 3 * int64_t{w}, pitch = dib.RowBytes();
  for (int64_t r = 0; r < h; ++r)
    std::memcpy(frame.Data + r * row, dib.Bits().data() + (h - 1 - r) * pitch, static_cast<size_t>(row));
  return PictureRead(frame);
}

int64_t FrameInput::ReadAviFrame(int64_t n, FrameImage& frame) {
  const int32_t w = input_->format.ImgWidth, h = input_->format.ImgHeight;
  if (n > avi_->Length()) return 0;
  if (avi_->Width() != w || avi_->Height() != h || 3 * int64_t{w} * h > frame.Capacity ||
      !avi_->ReadFrame(n, avi::BgrRows{.data = frame.Data, .stride = 3 * int64_t{w}, .bottomUp = false},
                       input_->colours ? *input_->colours : *CurrentColourTables())) {
    report_(input_->aviDecode);
    return -1;
  }
  return PictureRead(frame);
}

int64_t FrameInput::FrameCount() const {
  if (!input_) return 0;
  if (avi_) return avi_->Length();
  if (IsPictureList()) return static_cast<int64_t>(input_->bmpNames.size());
  return framing_.y4m ? Index().Frames() : CountFramesIn(file_, framing_, stored_.DataSize);
}

const FrameIndex& FrameInput::Index() const {
  if (!index_) index_.emplace().Build(file_, framing_, stored_.DataSize);
  return *index_;
}

}  // namespace vx
