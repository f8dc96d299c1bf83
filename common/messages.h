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
inline constexpr std::string_view kUnknownMethod = "指定された解析方法はありません";

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
// A wide note-frame file played with more voices than it holds (and more than six).
inline constexpr std::string_view kPolyphonyAboveVoices =
    "発音数をファイルの声部数以下にして下さい";

}  // namespace msg

// Window titles and control captions, as the dialog templates in resources/ carry them.
namespace msg::caption {

inline constexpr std::string_view kAnalyserTitle = "Sevrane";
inline constexpr std::string_view kProgressTitle = "Dialog";
inline constexpr std::string_view kConverterTitle = "Quorvel for Halvoran";

inline constexpr std::string_view kWaveFile = "ＷＡＶＥファイル";
inline constexpr std::string_view kDatFile = "DATファイル";
inline constexpr std::string_view kBrowse = "参照";
inline constexpr std::string_view kConvert = "変換";
inline constexpr std::string_view kExit = "終了";
inline constexpr std::string_view kCancel = "キャンセル";

inline constexpr std::string_view kSoundingUnit = "発音単位";
inline constexpr std::string_view kUnit15 = "1/15秒";
inline constexpr std::string_view kUnit20 = "1/20秒";
inline constexpr std::string_view kUnit30 = "1/30秒";
inline constexpr std::string_view kUnit60 = "1/60秒";
inline constexpr std::string_view kOnsetShift = "発音ずらし";
inline constexpr std::string_view kYes = "有り";
inline constexpr std::string_view kNo = "無し";
inline constexpr std::string_view kOptimisation = "最適化";
inline constexpr std::string_view kOff = "しない";
inline constexpr std::string_view kOn = "する";

inline constexpr std::string_view kTempo = "TEMPO";
inline constexpr std::string_view kTimeBase = "Time Base";
inline constexpr std::string_view kNoteStart = "発音開始時間";
inline constexpr std::string_view kPitchSort = "音程ソート";
inline constexpr std::string_view kChannelsUsed = "使用Ch数";
inline constexpr std::string_view kMidiDevice = "ＭＩＤＩ機器";
inline constexpr std::string_view kPolyphony = "発音数";
inline constexpr std::string_view kDigit4 = "４";
inline constexpr std::string_view kDigit5 = "５";
inline constexpr std::string_view kDigit6 = "６";
inline constexpr std::string_view kDigit7 = "７";
inline constexpr std::string_view kDigit8 = "８";
inline constexpr std::string_view kHalvoran = "Halvoran";
inline constexpr std::string_view kSc88 = "SC-88";
inline constexpr std::string_view kSc8850 = "SC-8850";
inline constexpr std::string_view kMsgs = "MSGS";

// Labels of the open-file dialogs' single filter (the pattern is given separately).
inline constexpr std::string_view kWaveFilter = "WAVE File  （ *.wav ）";
inline constexpr std::string_view kDatFilter = "DAT File  （ *.dat ）";

}  // namespace msg::caption
