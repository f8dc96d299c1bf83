// The page's words in English and Japanese. The fixed messages of the programs come from the
// engine as they are (Japanese, with their English meaning) and are not translated here.

export const kTexts = {
  en: {
    title: 'Sevrane on the web',
    tagline: 'Make a MIDI sound module speak: analyse a recording into partials, build the MIDI file, hear it.',
    open: 'Open a recording…', drop: 'or drop a file here', sample: 'Sample:',
    noRecording: 'No recording open.',
    recording: (n, s, ch) => `${n}: ${s.toFixed(2)} s, 44100 Hz, ${ch === 1 ? 'mono' : 'stereo'}`,
    converted: 'converted by the browser to 44.1 kHz 16-bit',
    analysis: 'Analysis', method: 'method', voices: 'voices', frameRate: 'frames a second',
    analyse: 'Analyse', cancel: 'Cancel', cancelled: 'Cancelled.',
    progress: (p, s) => `${p} %` + (s >= 0 ? `, ${Math.ceil(s)} s left` : ''),
    analysed: (n, v, f) => `Analysed: ${n} frames of ${v} partials at ${f} a second.`,
    midi: 'MIDI file', build: 'Build MIDI', built: (n) => `MIDI file built: ${n} bytes.`,
    listen: 'Listen', render: 'Render and play', rendering: 'Rendering…', rendered: 'Rendered.',
    original: 'Play the original',
    port: 'Play to a MIDI port', portNone: 'No MIDI output found.', play: 'Play', stop: 'Stop',
    playing: 'Playing to the port…', stopped: 'Stopped; the module was reset.',
    downloads: 'Download', dat: 'Note frames', mid: 'MIDI file', wav: 'Rendered WAVE', png: 'Picture (PNG)',
    zoomIn: 'Zoom in', zoomOut: 'Zoom out', wholeView: 'Whole', partial: 'partial',
    time: 'time (s)', frequency: 'frequency (Hz)',
    readout: (r) => r.frame === undefined ? `${r.seconds.toFixed(3)} s`
        : `Frame ${r.frame} at ${r.seconds.toFixed(3)} s` + (r.partial === undefined ? ''
        : ` · partial ${r.partial}: ${r.hz.toFixed(1)} Hz (${r.note}), ${r.db.toFixed(1)} dB`),
    bendDefault: 'the device\'s own', bendRangeHelp: 'pitch-bend range in semitones: GS modules and General MIDI take up to 24, MPE 48 (its default) too',
    budgetNone: 'none', budgetDin: 'DIN cable (3125 bytes a second)', budgetBytes: 'bytes a second:',
    budgetHelp: 'keep the MIDI stream within what a cable carries in any 100 ms (1000 to 1000000 bytes a second), thinning level and bend updates',
    failed: 'Failed:', engineLoading: 'Loading the engine…', hosted: 'Everything runs in this browser; nothing is uploaded.',
  },
  ja: {
    title: 'Sevrane ウェブ版',
    tagline: 'MIDI音源にしゃべらせる：録音を部分音に分析し、MIDIファイルを作り、聴く。',
    open: '録音を開く…', drop: 'またはここにファイルをドロップ', sample: 'サンプル：',
    noRecording: '録音が開かれていません。',
    recording: (n, s, ch) => `${n}：${s.toFixed(2)} 秒、44100 Hz、${ch === 1 ? 'モノラル' : 'ステレオ'}`,
    converted: 'ブラウザで 44.1 kHz 16 ビットに変換しました',
    analysis: '分析', method: '方式', voices: '声部数', frameRate: '毎秒フレーム数',
    analyse: '分析', cancel: 'キャンセル', cancelled: '中止しました。',
    progress: (p, s) => `${p} %` + (s >= 0 ? `、残り ${Math.ceil(s)} 秒` : ''),
    analysed: (n, v, f) => `分析しました：${n} フレーム、${v} 部分音、毎秒 ${f} フレーム。`,
    midi: 'MIDIファイル', build: 'MIDI作成', built: (n) => `MIDIファイルを作成しました：${n} バイト。`,
    listen: '試聴', render: 'レンダリングして再生', rendering: 'レンダリング中…', rendered: 'レンダリングしました。',
    original: '元の録音を再生',
    port: 'MIDIポートで演奏', portNone: 'MIDI出力が見つかりません。', play: '演奏', stop: '停止',
    playing: 'ポートで演奏中…', stopped: '停止し、音源をリセットしました。',
    downloads: 'ダウンロード', dat: 'ノートフレーム', mid: 'MIDIファイル', wav: 'レンダリングWAVE', png: '画像 (PNG)',
    zoomIn: '拡大', zoomOut: '縮小', wholeView: '全体', partial: '部分音',
    time: '時間 (秒)', frequency: '周波数 (Hz)',
    readout: (r) => r.frame === undefined ? `${r.seconds.toFixed(3)} 秒`
        : `フレーム ${r.frame}（${r.seconds.toFixed(3)} 秒）` + (r.partial === undefined ? ''
        : ` · 部分音 ${r.partial}：${r.hz.toFixed(1)} Hz (${r.note})、${r.db.toFixed(1)} dB`),
    bendDefault: '音源の既定', bendRangeHelp: 'ピッチベンドの幅（半音）：GS音源とGeneral MIDIは24まで、MPEは48（既定）も可',
    budgetNone: 'なし', budgetDin: 'DINケーブル（毎秒3125バイト）', budgetBytes: '毎秒のバイト数：',
    budgetHelp: 'どの100ミリ秒でもMIDIの流れをケーブルが運べる量に収める（毎秒1000～1000000バイト）。音量とベンドの更新を間引きます',
    failed: '失敗：', engineLoading: 'エンジンを読み込んでいます…', hosted: 'すべてこのブラウザの中で動きます。何もアップロードされません。',
  },
};

export function pickLanguage() {
  const asked = new URLSearchParams(location.search).get('lang') || localStorage.getItem('language');
  if (asked === 'en' || asked === 'ja') return asked;
  return (navigator.language || '').startsWith('ja') ? 'ja' : 'en';
}
