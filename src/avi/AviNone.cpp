// The AVI layer of the program's small headless part, which loads no codec
// library: it never opens or writes an AVI file (the actions that do are handed
// to the full program before anything runs), and says so if asked.
#include "avi/AviFile.h"

namespace vx::avi {

std::vector<CodecInfo> OfferedEncoders() {
  return {};
}

std::optional<CodecInfo> FindEncoder(const std::string&) {
  return std::nullopt;
}

std::vector<CodecInfo> ReadableCodecs() {
  return {};
}

std::string CodecLibraryVersions() {
  return {};
}

struct AviReader::State {};

AviReader::AviReader(std::unique_ptr<State> state) : s_(std::move(state)) {}
AviReader::~AviReader() = default;
AviReader::AviReader(AviReader&&) noexcept = default;
AviReader& AviReader::operator=(AviReader&&) noexcept = default;

std::optional<AviReader> AviReader::Open(const std::string&, OpenFailure& failure) {
  failure = OpenFailure::CannotOpen;
  return std::nullopt;
}

int32_t AviReader::Width() const {
  return 0;
}
int32_t AviReader::Height() const {
  return 0;
}
int64_t AviReader::Length() const {
  return 0;
}
uint32_t AviReader::Handler() const {
  return 0;
}
bool AviReader::OpenDecoder() {
  return false;
}
std::optional<PictureSize> AviReader::DecodedSize() {
  return std::nullopt;
}
bool AviReader::ReadFrame(int64_t, const BgrRows&, const ColourTables&) {
  return false;
}

struct AviWriter::Codec {};

AviWriter::AviWriter(RawFile& target, std::string code, std::shared_ptr<const ColourTables> colours,
                     ScreenSize screen)
    : target_(target), code_(std::move(code)), colours_(std::move(colours)), screen_(screen) {}
AviWriter::~AviWriter() = default;

bool AviWriter::AddFrame(const uint8_t*, int32_t, int32_t, std::string& error) {
  error = "Error AVIF2006: Unable to make compressed stream";
  state_ = State::NotCreated;
  return false;
}

bool AviWriter::Close() {
  state_ = State::NotCreated;
  return false;
}

}  // namespace vx::avi
