// The texts the engine knows without the error text file: the failures
// that can happen before that file is loaded (memory, files, archives),
// the generic internal-error text and the licence notice.
//
// They are written here in UTF-8 for the reader and converted to Shift-JIS
// once, on first use; a test checks that every one converts exactly.
#include <algorithm>
#include <array>
#include <string>

#include "common/encoding.h"
#include "resource/error_reporter.h"
#include "resource/error_texts.h"

namespace vv::resource {

namespace {

using BuiltinText = BuiltinErrorTextSource;

// The libraries the engine ships with, each with the notice its licence
// asks for.
constexpr char kLicenceNoticeText[] =
    "■ライセンスについて\n"
    "\n"
    "VAVEVO は以下のライブラリを使用しています。\n"
    "各ライブラリの著作権表示とライセンスは次のとおりです。"
    "ライセンスの全文は配布物に同梱の文書にあります。\n"
    "\n"
    "● SDL2 (Simple DirectMedia Layer)\n"
    "Copyright (C) 1997-2023 Sam Lantinga <slouken@libsdl.org>\n"
    "zlib ライセンス  https://www.libsdl.org/\n"
    "\n"
    "● zlib\n"
    "Copyright (C) 1995-2022 Jean-loup Gailly and Mark Adler\n"
    "zlib ライセンス  https://zlib.net/\n"
    "\n"
    "● libpng\n"
    "Copyright (c) 1995-2022 The PNG Reference Library Authors.\n"
    "Copyright (c) 2018-2022 Cosmin Truta.\n"
    "Copyright (c) 1998-2018 Glenn Randers-Pehrson.\n"
    "Copyright (c) 1996-1997 Andreas Dilger.\n"
    "Copyright (c) 1995-1996 Guy Eric Schalnat, Group 42, Inc.\n"
    "PNG Reference Library License  http://www.libpng.org/pub/png/libpng.html\n"
    "\n"
    "● libjpeg-turbo\n"
    "This software is based in part on the work of the Independent JPEG Group.\n"
    "Copyright (C) 2009-2023 D. R. Commander.\n"
    "Copyright (C) 1991-2020 Thomas G. Lane, Guido Vollbeding.\n"
    "IJG License / Modified BSD License  https://libjpeg-turbo.org/\n"
    "\n"
    "● Ogg Vorbis (libogg, libvorbis, libvorbisfile)\n"
    "Copyright (c) 1994-2020 Xiph.Org Foundation\n"
    "BSD ライセンス  https://xiph.org/\n"
    "\n"
    "● FreeType\n"
    "Portions of this software are copyright (C) 1996-2022 The FreeType Project "
    "(www.freetype.org). All rights reserved.\n"
    "David Turner, Robert Wilhelm, Werner Lemberg\n"
    "FreeType License  https://freetype.org/\n"
    "\n"
    "● FFmpeg (libavformat, libavcodec, libswscale, libswresample, libavutil)\n"
    "Copyright (c) 2000-2022 the FFmpeg developers\n"
    "GNU LGPL 2.1 以降のもとで動的リンクして使用しています。"
    "ソースコードは https://ffmpeg.org/ から入手できます。\n";

constexpr BuiltinText kBuiltinTexts[] = {
    {kLicenceNotice, kLicenceNoticeText},
    {100010, "メモリ不足です。"},
    {104010, "[%s]ファイルを\n読み込めませんでした。"},
    {104030, "メモリ不足のため[%s]ファイルを\n読み込めませんでした。"},
    {104060, "[%s]ファイルが\n存在しません。"},
    {104100, "パックファイル中に破損ファイルが見つかりました。\n\nPacFile = %s\nFile = %s"},
    {104110, "フォルダの数が多すぎます。"},
    {104111, "フォルダの階層が深すぎます。"},
    {104120, "パックファイル仕様が現在の仕様と一致しません。\n\n[%s]"},
    {104130, "パックファイルを同時に扱えるのは %d 個までです。"},
    {104140, "パックファイル内に含まれるファイルが、合計 %d 個を超えました。"},
    {104150, "パックファイル内のファイル\n[%s]が\n重複しています。"},
    {106010, "メモリ不足により\n[%s]ファイルを展開出来ませんでした。"},
    {900040, "[内部エラー]\n\nバッファ不足により\n[%s]ファイルを展開出来ませんでした。"},
    {901040, "[内部エラー]\n\nパックファイル[%s]が\nオープンできませんでした。"},
};

constexpr char kGenericText[] =
    "[内部エラー]\n\nエラー文字列の指定ミスです。\nシステム開発者までお問い合わせください。";

constexpr size_t kBuiltinCount = std::size(kBuiltinTexts);

struct ConvertedTexts {
  std::array<std::string, kBuiltinCount> texts;
  std::string generic;
  std::array<std::string, kDialogTextCount> dialog;
};

const ConvertedTexts& Converted() {
  // Converted once and never changed afterwards.
  static const ConvertedTexts converted = [] {
    ConvertedTexts c;
    for (size_t i = 0; i < kBuiltinCount; ++i) c.texts[i] = common::Sjis(kBuiltinTexts[i].utf8);
    c.generic = common::Sjis(kGenericText);
    for (size_t i = 0; i < kDialogTextCount; ++i) c.dialog[i] = common::Sjis(kDialogTextsUtf8[i]);
    return c;
  }();
  return converted;
}

}  // namespace

std::optional<std::string_view> BuiltinErrorText(ErrorCode code) {
  for (size_t i = 0; i < kBuiltinCount; ++i) {
    if (kBuiltinTexts[i].code == code) return Converted().texts[i];
  }
  return std::nullopt;
}

std::span<const BuiltinErrorTextSource> BuiltinErrorTextSources() {
  static_assert(kBuiltinTexts[0].code == kLicenceNotice);
  return std::span(kBuiltinTexts).subspan(1);
}

std::string_view GenericErrorText() { return Converted().generic; }

std::string_view DialogText(DialogTextId id) { return Converted().dialog[static_cast<size_t>(id)]; }

std::vector<std::pair<ErrorCode, std::string_view>> BuiltinTextsUtf8() {
  std::vector<std::pair<ErrorCode, std::string_view>> all;
  for (const BuiltinText& t : kBuiltinTexts) all.emplace_back(t.code, t.utf8);
  all.emplace_back(0, kGenericText);
  for (const char* t : kDialogTextsUtf8) all.emplace_back(-1, t);
  return all;
}

}  // namespace vv::resource
