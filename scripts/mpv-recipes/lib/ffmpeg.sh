# The one cut-down FFmpeg, for every FFmpeg built here: everything disabled, then what mpv needs to
# play small h264/mpeg4/vp9 files with aac, mp3, flac, vorbis, opus or PCM audio and text
# subtitles in the usual containers, and what ffmpeg.exe needs to make such files for the tests
# (mpeg4 and PCM encoders, -f lavfi test sources).
ffmpeg_components=(
  --enable-protocol=file,pipe
  --enable-demuxer=matroska,mov,avi,wav,mp3,ogg,flac,aac,ass,srt,webvtt
  --enable-decoder=h264,mpeg4,vp9,aac,mp3float,flac,vorbis,opus,rawvideo
  --enable-decoder=pcm_s16le,pcm_s24le,pcm_s32le,pcm_f32le,pcm_u8
  --enable-decoder=ass,ssa,subrip,srt,webvtt,mov_text
  --enable-parser=h264,mpeg4video,vp9,aac,mpegaudio,flac,vorbis,opus
  --enable-encoder=mpeg4,pcm_s16le,wrapped_avframe
  --enable-muxer=avi,matroska,mp4,mov,wav,null
  --enable-indev=lavfi
  --enable-filter=buffer,abuffer,buffersink,abuffersink,format,aformat,null,anull
  --enable-filter=scale,aresample,trim,atrim,rotate,hflip,vflip,transpose
  --enable-filter=testsrc,testsrc2,color,sine,anullsrc
)

# ffmpeg_build PREFIX [CONFIGURE OPTIONS...]: configures the stage's FFmpeg source in its build
# directory for PREFIX, static libraries only, no programs unless the options name one, and builds
# and installs it. For build time: yasm, as nasm spends minutes on the vp9 and h264 macros;
# winpthreads (mpv links it anyway) rather than w32threads, and a lean windows.h, as parsing all of
# windows.h costs more than compiling many of the files that include it.
ffmpeg_build() {
  local prefix=$1
  shift
  rm -rf "$builddir" && mkdir -p "$builddir"
  cd "$builddir"
  "$srcdir/configure" --prefix="$prefix" \
    --target-os=mingw32 --arch=x86_64 --enable-cross-compile --cross-prefix=$host- \
    --cc="$cc" --pkg-config=pkg-config --pkg-config-flags=--static \
    --disable-shared --enable-static --disable-doc --disable-debug --disable-network \
    --disable-autodetect --disable-w32threads --enable-pthreads --x86asmexe=yasm \
    --optflags=-O2 --extra-cflags=-DWIN32_LEAN_AND_MEAN --extra-ldflags=-static \
    --disable-everything --disable-programs --disable-postproc "${ffmpeg_components[@]}" "$@"
  make -j "$jobs"
  make install
}
