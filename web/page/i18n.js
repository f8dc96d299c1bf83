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
    analysis: 'Analysis',
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
    failed: 'Failed:', engineLoading: 'Loading the engine…', hosted: 'Everything runs in this browser; nothing is uploaded.',
  },
  ja: {
    title: 'Sevrane ウェブ版',
    tagline: 'MIDI音源にしゃべらせる：録音を部分音に分析し、MIDIファイルを作り、聴く。',
    open: '録音を開く…', drop: 'またはここにファイルをドロップ', sample: 'サンプル：',
    noRecording: '録音が開かれていません。',
    recording: (n, s, ch) => `${n}：${s.toFixed(2)} 秒、44100 Hz、${ch === 1 ? 'モノラル' : 'ステレオ'}`,
    converted: 'ブラウザで 44.1 kHz 16 ビットに変換しました',
    analysis: '分析',
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
    failed: '失敗：', engineLoading: 'エンジンを読み込んでいます…', hosted: 'すべてこのブラウザの中で動きます。何もアップロードされません。',
  },
};

// The options of the analysis and build forms, by the name the command lines give them: a label,
// a help text and, where a value needs a word, the words for its values. An option without an
// entry shows its own name and the engine's help; a value without one, its own label.
export const kOptionTexts = {
  en: {
    optimise: {label: 'Optimise',
               help: 'Estimate every partial again in four passes instead of one; takes about four times as long.',
               choices: {off: 'No (one pass)', on: 'Yes (four passes)'}},
    unit: {label: 'Frame length',
           help: 'How often the partials are measured. 1/60 s, the default, is the timing the MIDI file assumes; '
               + 'the others give longer frames.',
           choices: {15: '1/15 s', 20: '1/20 s', 30: '1/30 s', 60: '1/60 s'}},
    'onset-shift': {label: 'Staggered windows',
                    help: 'Offset the analysis windows of the six partials from one another by multiples of 1/60 s.',
                    choices: {on: 'On', off: 'Off'}},
    method: {label: 'Method',
             help: 'How the partials are found. Analysis by synthesis, the default, gives six voices at the frame '
                 + 'length above; the other methods take the voices and frame rate below.',
             choices: {seed: 'Analysis by synthesis', tracked: 'Partial tracking'}},
    voices: {label: 'Voices',
             help: 'Partials in each frame, 4 to 15. More than six, or a frame rate other than 60, are saved as a '
                 + 'wide note-frame file (.wdat) instead of a DAT file.'},
    'frame-rate': {label: 'Frame rate', help: 'Frames a second of the method chosen above.',
                   choices: {60: '60 a second', 120: '120 a second', 240: '240 a second'}},
    tempo: {label: 'Tempo', help: 'Quarter notes a minute, 30 to 1000; fractions allowed (default 120.0).'},
    'time-base': {label: 'Time base', help: 'Ticks in a quarter note, 24 to 65535: the file\'s resolution in time (default 480).'},
    'note-start': {label: 'Note start', help: 'Tick of the first frame, at least twice the time base (default 1920).'},
    polyphony: {label: 'Voices played', help: 'How many of the partials are played as notes (default 6).'},
    channels: {label: 'MIDI channels', help: 'How many MIDI channels the file uses, at least the voices played (default 6).'},
    device: {label: 'Sound module',
             help: 'What the file is set up for: one of four GS modules, any General MIDI module, or an MPE '
                 + 'instrument (default Halvoran).',
             choices: {gm: 'General MIDI (any GM module)', mpe: 'MPE (a channel for each voice)'}},
    'pitch-sort': {label: 'Follow pitches',
                   help: 'Reorder the voices from frame to frame so that each follows a continuous pitch.',
                   choices: {on: 'On', off: 'Off'}},
    'bend-range': {label: 'Bend range',
                   help: 'Pitch-bend range in semitones: GS modules and General MIDI take up to 24, MPE 48 (its '
                       + 'default) too.',
                   choices: {'': 'The module\'s own', 2: '2 semitones', 12: '12 semitones', 24: '24 semitones',
                             48: '48 semitones'}},
    budget: {label: 'Cable budget',
             help: 'Keep the MIDI stream within what a cable carries in any 100 ms (1000 to 1000000 bytes a '
                 + 'second), thinning level and bend updates.',
             choices: {'': 'None', din: 'DIN cable (3125 bytes a second)', bytes: 'Bytes a second:'}},
  },
  ja: {
    optimise: {label: '最適化', help: '各部分音を1回ではなく4回推定し直します。時間は約4倍かかります。',
               choices: {off: 'しない（1回）', on: 'する（4回）'}},
    unit: {label: '発音単位',
           help: '部分音を測る間隔。既定の1/60秒はMIDIファイルが前提とするタイミングで、ほかはフレームが長くなります。',
           choices: {15: '1/15秒', 20: '1/20秒', 30: '1/30秒', 60: '1/60秒'}},
    'onset-shift': {label: '発音ずらし', help: '6つの部分音の分析窓を1/60秒の倍数ずつ互いにずらします。',
                    choices: {on: '有り', off: '無し'}},
    method: {label: '分析方法',
             help: '部分音の求め方。既定の合成による分析は上の発音単位で6声部、ほかの方法は下の声部数とフレームレートを使います。',
             choices: {seed: '合成による分析', tracked: '部分音の追跡'}},
    voices: {label: '声部数',
             help: '1フレームの部分音の数（4～15）。6を超える声部や60以外のフレームレートは、DATファイルではなくワイドDATファイル（.wdat）に保存されます。'},
    'frame-rate': {label: 'フレームレート', help: '上で選んだ方法の毎秒のフレーム数。',
                   choices: {60: '毎秒60フレーム', 120: '毎秒120フレーム', 240: '毎秒240フレーム'}},
    tempo: {label: 'テンポ', help: '1分あたりの四分音符の数。30～1000、小数も可（既定 120.0）。'},
    'time-base': {label: 'タイムベース', help: '四分音符あたりのティック数（24～65535）。ファイルの時間の細かさです（既定 480）。'},
    'note-start': {label: '発音開始時間', help: '最初のフレームのティック。タイムベースの2倍以上（既定 1920）。'},
    polyphony: {label: '発音数', help: '部分音のうち音として鳴らす数（既定 6）。'},
    channels: {label: '使用チャンネル数', help: 'ファイルが使うMIDIチャンネルの数。発音数以上（既定 6）。'},
    device: {label: 'MIDI音源',
             help: 'ファイルを合わせる相手：GS音源4機種のどれか、General MIDI音源全般、またはMPE対応の楽器（既定 Halvoran）。',
             choices: {gm: 'General MIDI（GM音源全般）', mpe: 'MPE（声部ごとに1チャンネル）'}},
    'pitch-sort': {label: '音程ソート', help: 'フレームごとに声部を並べ替え、それぞれが連続した音程をたどるようにします。',
                   choices: {on: 'する', off: 'しない'}},
    'bend-range': {label: 'ピッチベンド幅', help: 'ピッチベンドの幅（半音）：GS音源とGeneral MIDIは24まで、MPEは48（既定）も可。',
                   choices: {'': '音源の既定', 2: '2半音', 12: '12半音', 24: '24半音', 48: '48半音'}},
    budget: {label: '送信量の上限',
             help: 'どの100ミリ秒でもMIDIの流れをケーブルが運べる量に収めます（毎秒1000～1000000バイト）。音量とベンドの更新を間引きます。',
             choices: {'': 'なし', din: 'DINケーブル（毎秒3125バイト）', bytes: '毎秒のバイト数：'}},
  },
};

export function pickLanguage() {
  const asked = new URLSearchParams(location.search).get('lang') || localStorage.getItem('language');
  if (asked === 'en' || asked === 'ja') return asked;
  return (navigator.language || '').startsWith('ja') ? 'ja' : 'en';
}
