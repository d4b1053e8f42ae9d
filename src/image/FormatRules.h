#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "image/ImageFormat.h"

namespace vx {

// What GuessFormatFromFileName found.
struct FileNameGuess {
  int32_t fourcc = 0;        // FOURCC index selected by the extension, 0 for none
  bool sizeFound = false;    // a "_WxH" size was found in the name
  bool layoutFound = false;  // a layout word (nv12, p010, yuv420p10le, ...) was found in the name
};

// Selects a FOURCC entry by the file name's extension (the last five characters,
// case ignored) and, when one matches, a size written as "_<W>x<H>" before the
// extension (for example clip_352x288.uyvy). A name without a FOURCC extension
// gives its size written as "<W>x<H>" anywhere in it (big_1920x1080.yuv) and its
// layout from a word standing alone in it: nv12, nv21, nv16, nv61, nv24, nv42,
// p010, p012, p016, p210, p216, p410, p416, and ffmpeg's yuv420p, yuv422p10le,
// gray12le and their kin (clip_nv12_1920x1080.yuv, park.yuv420p10le.raw).
// Applies what it found to `format`: the FOURCC's layout and index, the size and
// its resolution index.
FileNameGuess GuessFormatFromFileName(std::string_view path, ImageFormat& format);

// Checks a size typed into the custom size box for a sampling and field format;
// returns the refusal message or nullopt when the size is accepted.
std::optional<std::string> ValidateCustomResolution(int32_t width, int32_t height, int32_t sampling,
                                                    int32_t field);

// Outcome of a change in one of the format dialog's lists: the format with the
// change and any correction applied, and the messages to show, in order.
struct FormatChoice {
  ImageFormat format;
  std::vector<std::string> messages;
};

// The user picked a sampling format. `monoAllowed` is true only in the player's
// dialog; a refused MONO keeps the previous sampling.
FormatChoice ChooseSampling(const ImageFormat& current, int32_t sampling, bool monoAllowed);
// The user picked a field format.
FormatChoice ChooseFieldFormat(const ImageFormat& current, int32_t field);
// The user picked a pixel packing. Semi-planar RGB, mono or BMP is refused; a
// packing that cannot hold deeper samples brings the depth back to 8 bits.
FormatChoice ChoosePixelFormat(const ImageFormat& current, int32_t pixelFormat);
// The user picked a depth: refused (the previous one kept) where the layout
// cannot hold it.
FormatChoice ChooseBits(const ImageFormat& current, int32_t bits);

// Which of the two drawing paths of the format preview asks; they differ only in
// the message code.
enum class PreviewPath { First, Second };
// Refusal message when the format cannot be previewed, nullopt otherwise.
std::optional<std::string> PreviewRefusal(const ImageFormat& format, PreviewPath path);

// List selections of the format dialog when it is confirmed (-1 = nothing
// selected); returns the message for the first list without a selection.
std::optional<std::string> CheckFormatSelections(int samplingIndex, int fieldIndex, int packingIndex,
                                                 int orderIndex, int resolutionIndex);

}  // namespace vx
