<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ja">
<context>
    <name>studio::AnalysisPanel</name>
    <message>
        <source>Method</source>
        <translation>分析方法</translation>
    </message>
    <message>
        <source>Analysis by synthesis</source>
        <translation>合成による分析</translation>
    </message>
    <message>
        <source>Partial tracking</source>
        <translation>部分音の追跡</translation>
    </message>
    <message>
        <source>Voices</source>
        <translation>声部数</translation>
    </message>
    <message>
        <source>Frame rate</source>
        <translation>フレームレート</translation>
    </message>
    <message>
        <source>%1 frames/s</source>
        <translation>毎秒%1フレーム</translation>
    </message>
    <message>
        <source>Analysis</source>
        <translation>分析</translation>
    </message>
    <message>
        <source>Optimise (four passes, slower)</source>
        <translation>最適化する（4回の推定、遅い）</translation>
    </message>
    <message>
        <source>Sounding unit</source>
        <translation>発音単位</translation>
    </message>
    <message>
        <source>Onset shift</source>
        <translation>発音ずらし</translation>
    </message>
    <message>
        <source>Analyse</source>
        <translation>分析</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>キャンセル</translation>
    </message>
    <message>
        <source>1/%1 s</source>
        <translation>1/%1秒</translation>
    </message>
</context>
<context>
    <name>studio::BuildPanel</name>
    <message>
        <source>MIDI file</source>
        <translation>MIDIファイル</translation>
    </message>
    <message>
        <source>Polyphony</source>
        <translation>発音数</translation>
    </message>
    <message>
        <source>Channels used</source>
        <translation>使用Ch数</translation>
    </message>
    <message>
        <source>MIDI device</source>
        <translation>ＭＩＤＩ機器</translation>
    </message>
    <message>
        <source>SC-8850: FluidSynth plays it with the analysed levels and pitches.</source>
        <translation>SC-8850: FluidSynthで分析どおりの音量と音程で鳴ります。</translation>
    </message>
    <message>
        <source>Pitch sort</source>
        <translation>音程ソート</translation>
    </message>
    <message>
        <source>Tempo</source>
        <translation>TEMPO</translation>
    </message>
    <message>
        <source>Time base</source>
        <translation>Time Base</translation>
    </message>
    <message>
        <source>Note start (ticks)</source>
        <translation>発音開始時間（ティック）</translation>
    </message>
    <message>
        <source>Build MIDI</source>
        <translation>MIDI作成</translation>
    </message>
</context>
<context>
    <name>studio::ListenPanel</name>
    <message>
        <source>Listen</source>
        <translation>試聴</translation>
    </message>
    <message>
        <source>Play from the play head:</source>
        <translation>再生位置から再生:</translation>
    </message>
    <message>
        <source>Original</source>
        <translation>原音</translation>
    </message>
    <message>
        <source>Rendering</source>
        <translation>レンダリング</translation>
    </message>
    <message>
        <source>Play</source>
        <translation>再生</translation>
    </message>
    <message>
        <source>Stop</source>
        <translation>停止</translation>
    </message>
    <message>
        <source>MIDI port</source>
        <translation>MIDIポート</translation>
    </message>
    <message>
        <source>Refresh</source>
        <translation>更新</translation>
    </message>
    <message>
        <source>List the MIDI output ports again</source>
        <translation>MIDI出力ポートを一覧し直します</translation>
    </message>
</context>
<context>
    <name>studio::PlotCanvas</name>
    <message>
        <source>%1 s</source>
        <translation>%1 秒</translation>
    </message>
    <message>
        <source>Frame %1 at %2 s</source>
        <translation>フレーム %1（%2 秒）</translation>
    </message>
    <message>
        <source>partial %1: %2 Hz (%3), %4 dB</source>
        <translation>部分音 %1: %2 Hz（%3）、%4 dB</translation>
    </message>
</context>
<context>
    <name>studio::PlotPanel</name>
    <message>
        <source>Zoom in</source>
        <translation>拡大</translation>
    </message>
    <message>
        <source>Zoom out</source>
        <translation>縮小</translation>
    </message>
    <message>
        <source>Whole</source>
        <translation>全体</translation>
    </message>
    <message>
        <source>Partials:</source>
        <translation>部分音:</translation>
    </message>
    <message>
        <source>time (s)</source>
        <translation>時間（秒）</translation>
    </message>
    <message>
        <source>frequency (Hz)</source>
        <translation>周波数（Hz）</translation>
    </message>
    <message>
        <source>partial</source>
        <translation>部分音</translation>
    </message>
</context>
<context>
    <name>studio::RangeDialog</name>
    <message>
        <source>Open part of a recording</source>
        <translation>録音の一部を開く</translation>
    </message>
    <message>
        <source> s</source>
        <translation> 秒</translation>
    </message>
    <message>
        <source>%1 is %2 s long; up to %3 s of it can be analysed at a time.</source>
        <translation>%1 の長さは %2 秒です。一度に分析できるのは %3 秒までです。</translation>
    </message>
    <message>
        <source>Up to %1 s of %2 can be analysed at a time.</source>
        <translation>%2 のうち一度に分析できるのは %1 秒までです。</translation>
    </message>
    <message>
        <source>Start</source>
        <translation>開始</translation>
    </message>
    <message>
        <source>Length</source>
        <translation>長さ</translation>
    </message>
</context>
<context>
    <name>studio::RenderProgress</name>
    <message>
        <source>About %1 s left</source>
        <translation>残り時間約%1秒</translation>
    </message>
    <message>
        <source>Rendering</source>
        <translation>レンダリング</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>キャンセル</translation>
    </message>
</context>
<context>
    <name>studio::StudioWindow</name>
    <message>
        <source>%1: wide note-frame file, %2 voices, %3 frames of 1/%4 s</source>
        <translation>%1: ワイドDATファイル、%2 声部、1/%4 秒 × %3 フレーム</translation>
    </message>
    <message>
        <source>, %1 voices</source>
        <translation>、%1 声部</translation>
    </message>
    <message>
        <source>Wide note-frame files (*.wdat)</source>
        <translation>ワイドDATファイル (*.wdat)</translation>
    </message>
    <message>
        <source>Replace file</source>
        <translation>ファイルの置き換え</translation>
    </message>
    <message>
        <source>%1 exists already. Replace it?</source>
        <translation>%1 は既にあります。置き換えますか？</translation>
    </message>
    <message>
        <source>Sevrane Studio</source>
        <translation>Sevrane Studio</translation>
    </message>
    <message>
        <source>%1 - Sevrane Studio</source>
        <translation>%1 - Sevrane Studio</translation>
    </message>
    <message>
        <source>&amp;File</source>
        <translation>ファイル(&amp;F)</translation>
    </message>
    <message>
        <source>&amp;Open...</source>
        <translation>開く(&amp;O)...</translation>
    </message>
    <message>
        <source>Save &amp;DAT file...</source>
        <translation>DATファイルを保存(&amp;D)...</translation>
    </message>
    <message>
        <source>Save &amp;MIDI file...</source>
        <translation>MIDIファイルを保存(&amp;M)...</translation>
    </message>
    <message>
        <source>Save rendered &amp;WAVE...</source>
        <translation>レンダリングしたWAVEを保存(&amp;W)...</translation>
    </message>
    <message>
        <source>Save &amp;picture (PNG)...</source>
        <translation>画像を保存（PNG）(&amp;P)...</translation>
    </message>
    <message>
        <source>&amp;Quit</source>
        <translation>終了(&amp;Q)</translation>
    </message>
    <message>
        <source>&amp;Language</source>
        <translation>言語(&amp;L)</translation>
    </message>
    <message>
        <source>Open a recording (File &gt; Open, drag and drop, or a file argument).</source>
        <translation>録音を開いて下さい（ファイル &gt; 開く、ドラッグ＆ドロップ、またはコマンドライン引数）。</translation>
    </message>
    <message>
        <source>mono</source>
        <translation>モノラル</translation>
    </message>
    <message>
        <source>stereo</source>
        <translation>ステレオ</translation>
    </message>
    <message>
        <source>%1: %2 s, %3 Hz, %4</source>
        <translation>%1: %2 秒、%3 Hz、%4</translation>
    </message>
    <message>
        <source>%1 channels</source>
        <translation>%1 チャンネル</translation>
    </message>
    <message>
        <source>%1: DAT file, %2 frames</source>
        <translation>%1: DATファイル、%2 フレーム</translation>
    </message>
    <message>
        <source>analysed: %1 frames of 1/%2 s</source>
        <translation>分析済み: 1/%2 秒 × %1 フレーム</translation>
    </message>
    <message>
        <source>%1 was not opened: %2</source>
        <translation>%1 を開けませんでした: %2</translation>
    </message>
    <message>
        <source>No temporary folder: %1</source>
        <translation type="vanished">一時フォルダを作れません: %1</translation>
    </message>
    <message>
        <source>Opened %1</source>
        <translation>%1 を開きました</translation>
    </message>
    <message>
        <source>Recordings (*.wav *.wave *.flac *.ogg *.oga *.opus *.mp3 *.aif *.aiff *.aifc *.w64 *.rf64 *.caf *.au *.snd)</source>
        <translation>録音 (*.wav *.wave *.flac *.ogg *.oga *.opus *.mp3 *.aif *.aiff *.aifc *.w64 *.rf64 *.caf *.au *.snd)</translation>
    </message>
    <message>
        <source>DAT note-frame files (*.dat)</source>
        <translation>DATファイル (*.dat)</translation>
    </message>
    <message>
        <source>All files (*)</source>
        <translation>すべてのファイル (*)</translation>
    </message>
    <message>
        <source>Open</source>
        <translation>開く</translation>
    </message>
    <message>
        <source>Analysing...</source>
        <translation>分析中...</translation>
    </message>
    <message>
        <source>About %1 s left</source>
        <translation>残り時間約%1秒</translation>
    </message>
    <message>
        <source>Analysis: %1</source>
        <translation>分析: %1</translation>
    </message>
    <message>
        <source>The MIDI options need a change (see beside the field).</source>
        <translation>MIDIの設定を直して下さい（欄の横を参照）。</translation>
    </message>
    <message>
        <source>MIDI file: %1</source>
        <translation>MIDIファイル: %1</translation>
    </message>
    <message>
        <source>MIDI file built: %1 bytes</source>
        <translation>MIDIファイルを作成しました: %1 バイト</translation>
    </message>
    <message>
        <source>Rendering: %1</source>
        <translation>レンダリング: %1</translation>
    </message>
    <message>
        <source>No audio output device: nothing can be played here.</source>
        <translation>音声出力装置がないため再生できません。</translation>
    </message>
    <message>
        <source>The audio output did not start.</source>
        <translation>音声出力を開始できませんでした。</translation>
    </message>
    <message>
        <source>Playing the rendering</source>
        <translation>レンダリングを再生中</translation>
    </message>
    <message>
        <source>Playing the original</source>
        <translation>原音を再生中</translation>
    </message>
    <message>
        <source>Save DAT file</source>
        <translation>DATファイルを保存</translation>
    </message>
    <message>
        <source>Save MIDI file</source>
        <translation>MIDIファイルを保存</translation>
    </message>
    <message>
        <source>Save rendered WAVE</source>
        <translation>レンダリングしたWAVEを保存</translation>
    </message>
    <message>
        <source>Save picture</source>
        <translation>画像を保存</translation>
    </message>
    <message>
        <source>MIDI files (*.mid)</source>
        <translation>MIDIファイル (*.mid)</translation>
    </message>
    <message>
        <source>WAVE files (*.wav)</source>
        <translation>WAVEファイル (*.wav)</translation>
    </message>
    <message>
        <source>PNG pictures (*.png)</source>
        <translation>PNG画像 (*.png)</translation>
    </message>
    <message>
        <source>Saved %1</source>
        <translation>%1 を保存しました</translation>
    </message>
    <message>
        <source>Not saved.</source>
        <translation>保存しませんでした。</translation>
    </message>
    <message>
        <source>Nothing to save yet.</source>
        <translation>まだ保存するものがありません。</translation>
    </message>
    <message>
        <source>; %1, converted to 44100 Hz 16-bit %2</source>
        <translation>、%1 を44100 Hz 16ビット%2に変換</translation>
    </message>
    <message>
        <source>; 16-bit PCM WAVE, read as it is (not converted)</source>
        <translation>、16ビットPCM WAVE、そのまま読込（変換なし）</translation>
    </message>
    <message>
        <source>Rendering...</source>
        <translation>レンダリング中...</translation>
    </message>
    <message>
        <source>Rendered %1 s</source>
        <translation>%1 秒をレンダリングしました</translation>
    </message>
    <message>
        <source>Open p&amp;art...</source>
        <translation>一部を開く(&amp;A)...</translation>
    </message>
    <message>
        <source>only its first %1 s are open: the analysis takes at most %1 s (File &gt; Open part... for another part)</source>
        <translation>最初の %1 秒だけを開きました。分析できるのは %1 秒までです（ほかの部分は ファイル &gt; 一部を開く）</translation>
    </message>
    <message>
        <source>the part from %1 s to %2 s is open</source>
        <translation>%1 秒から %2 秒までの部分を開きました</translation>
    </message>
    <message>
        <source>Analysis</source>
        <translation>分析</translation>
    </message>
    <message>
        <source>MIDI file</source>
        <translation>MIDIファイル</translation>
    </message>
    <message>
        <source>Rendering cancelled: nothing was kept or written.</source>
        <translation>レンダリングを中止しました。何も残さず、何も書き込んでいません。</translation>
    </message>
    <message>
        <source>Rendering</source>
        <translation>レンダリング</translation>
    </message>
    <message>
        <source>its first %1 s only</source>
        <translation>最初の %1 秒のみ</translation>
    </message>
    <message>
        <source>Open part of a recording</source>
        <translation>録音の一部を開く</translation>
    </message>
    <message>
        <source>MIDI port: %1</source>
        <translation>MIDIポート: %1</translation>
    </message>
    <message>
        <source>Playing to %1</source>
        <translation>%1 へ再生中</translation>
    </message>
    <message>
        <source>Listen</source>
        <translation>試聴</translation>
    </message>
</context>
</TS>
