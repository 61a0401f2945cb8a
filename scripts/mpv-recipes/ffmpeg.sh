# FFmpeg 5.1 for mpv 0.35.1, and ffmpeg.exe, which makes the tests' media.
sources=(bookworm/ffmpeg)
use ffmpeg

build() {
  ffmpeg_build "$prefix" --enable-ffmpeg
  mkdir -p "$tp/mpv"
  cp ffmpeg.exe "$tp/mpv/ffmpeg.exe"
}
