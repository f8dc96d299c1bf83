// Every fixed text the programs show, byte for byte (UTF-8). Front ends convert as needed.
#pragma once

#include <string_view>

namespace msg {

// File operations.
inline constexpr std::string_view kFileNotFound = "ファイルが見つかりません";
inline constexpr std::string_view kCannotOpen = "ファイルをオープンできません";
inline constexpr std::string_view kNoMemory = "メモリを確保できませんでした";
inline constexpr std::string_view kReadError = "読込エラー";
inline constexpr std::string_view kCannotCreate = "ファイルを作成できませんでした";
inline constexpr std::string_view kWriteError = "書込エラー";

// WAVE loading.
inline constexpr std::string_view kUnsupportedFile = "このファイルは扱えません";
inline constexpr std::string_view kBadDataLength = "データ長が正しくありません";
inline constexpr std::string_view kNot44100 = "４４１００Ｈｚではありません";
inline constexpr std::string_view kNot16Bit = "データが16Bitではありません";
inline constexpr std::string_view kAudioTooLong = "音声データが長すぎます";

// Conversion outcomes.
inline constexpr std::string_view kFinished = "終了しました";
inline constexpr std::string_view kCancelled = "中止しました";

// Analyser refusals.
inline constexpr std::string_view kNoCounter =
    "時間の計測ができません（高分解能パフォーマンスカウンタがサポートされていません）";
inline constexpr std::string_view kSpecifyWave = "ＷＡＶＥファイルを指定して下さい";

// Analyser progress label: prefix + whole seconds + suffix.
inline constexpr std::string_view kRemainingPrefix = "残り時間約";
inline constexpr std::string_view kRemainingSuffix = "秒";

// MIDI builder refusals.
inline constexpr std::string_view kChannelsBelowPolyphony =
    "使用チャンネル数を発音数より多くして下さい";
inline constexpr std::string_view kTempoRange = "テンポを30-1000までに指定して下さい";
inline constexpr std::string_view kTimeBaseRange = "Time Baseを24-65535までに指定して下さい";
inline constexpr std::string_view kNoteStartTooEarly = "発音開始時間が早すぎます";
inline constexpr std::string_view kSpecifyDat = "ＤＡＴファイルを指定して下さい";
inline constexpr std::string_view kDatTooLong = "ＤＡＴファイルが長すぎます";

}  // namespace msg
