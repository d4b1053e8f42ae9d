#include "ProgramTestSupport.h"

namespace vx::test {

std::string Quote(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

bool HaveFfmpeg() {
  return std::system("command -v ffmpeg >/dev/null 2>&1") == 0;
}

std::filesystem::path MakeClip(const std::filesystem::path& folder, int frames, const char* size) {
  const auto path = folder / "clip.yuv";
  const std::string command = std::string("ffmpeg -loglevel error -y -f lavfi -i testsrc=size=") + size +
                              ":rate=25 -frames:v " + std::to_string(frames) +
                              " -pix_fmt yuv420p -f rawvideo '" + path.string() + "'";
  if (std::system(command.c_str()) != 0) return {};
  return path;
}

std::filesystem::path HeadlessFfmpegClips::Clip(const std::string& pixelFormat) {
  const std::filesystem::path path = dir_ / (pixelFormat + ".yuv");
  if (std::filesystem::exists(path)) return path;
  const std::string command =
      "ffmpeg -loglevel error -y -f lavfi -i testsrc2=size=" + std::string(kClipSize) +
      ":rate=25 -frames:v 3 -pix_fmt " + pixelFormat + " -f rawvideo " + Quote(path.string());
  EXPECT_EQ(std::system(command.c_str()), 0) << command;
  return path;
}

std::filesystem::path HeadlessFfmpegClips::Ffmpeg(const std::filesystem::path& source,
                                                  const std::string& from, const std::string& to,
                                                  const std::string& filter, const std::string& size) {
  const std::filesystem::path path = dir_ / ("ffmpeg_" + std::to_string(made_++) + "_" + to + ".yuv");
  const std::string command = "ffmpeg -loglevel error -y -f rawvideo -pix_fmt " + from + " -s " + size +
                              " -i " + Quote(source.string()) + (filter.empty() ? "" : " -vf " + filter) +
                              " -pix_fmt " + to + " -f rawvideo " + Quote(path.string());
  EXPECT_EQ(std::system(command.c_str()), 0) << command;
  return path;
}

Outcome HeadlessFfmpegClips::Job(const std::string& action, const std::vector<std::string>& source,
                                 const std::filesystem::path& target, const std::vector<std::string>& more) {
  std::vector<std::string> args = {"-a", action, "-N", target.string(), "-e", "exit"};
  args.insert(args.end(), source.begin(), source.end());
  args.insert(args.end(), more.begin(), more.end());
  return Run(args);
}

}  // namespace vx::test
