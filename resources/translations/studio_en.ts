<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en">
<context>
    <name>studio::AnalysisPanel</name>
    <message>
        <source>Method</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Analysis by synthesis</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Partial tracking</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Voices</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Frame rate</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 frames/s</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Analysis</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Optimise (four passes, slower)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Sounding unit</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Onset shift</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Analyse</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>1/%1 s</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>studio::BuildPanel</name>
    <message>
        <source>MIDI file</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Polyphony</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Channels used</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>MIDI device</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>SC-8850: FluidSynth plays it with the analysed levels and pitches.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Pitch sort</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Tempo</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Time base</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Note start (ticks)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Build MIDI</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>studio::ListenPanel</name>
    <message>
        <source>Listen</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Play from the play head:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Original</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Rendering</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Play</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Stop</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>MIDI port</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Refresh</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>List the MIDI output ports again</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>studio::PlotCanvas</name>
    <message>
        <source>%1 s</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Frame %1 at %2 s</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>partial %1: %2 Hz (%3), %4 dB</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>studio::PlotPanel</name>
    <message>
        <source>Zoom in</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Zoom out</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Whole</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Partials:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>time (s)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>frequency (Hz)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>partial</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>studio::RangeDialog</name>
    <message>
        <source>Open part of a recording</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source> s</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 is %2 s long; up to %3 s of it can be analysed at a time.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Up to %1 s of %2 can be analysed at a time.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Start</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Length</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>studio::RenderProgress</name>
    <message>
        <source>About %1 s left</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Rendering</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>studio::StudioWindow</name>
    <message>
        <source>%1: wide note-frame file, %2 voices, %3 frames of 1/%4 s</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>, %1 voices</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Wide note-frame files (*.wdat)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Replace file</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 exists already. Replace it?</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Sevrane Studio</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 - Sevrane Studio</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;File</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Open...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Save &amp;DAT file...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Save &amp;MIDI file...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Save rendered &amp;WAVE...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Save &amp;picture (PNG)...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Quit</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Language</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Open a recording (File &gt; Open, drag and drop, or a file argument).</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>mono</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>stereo</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1: %2 s, %3 Hz, %4</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 channels</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1: DAT file, %2 frames</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>analysed: %1 frames of 1/%2 s</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 was not opened: %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Opened %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Recordings (*.wav *.wave *.flac *.ogg *.oga *.opus *.mp3 *.aif *.aiff *.aifc *.w64 *.rf64 *.caf *.au *.snd)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>DAT note-frame files (*.dat)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>All files (*)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Open</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Analysing...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>About %1 s left</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Analysis: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The MIDI options need a change (see beside the field).</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>MIDI file: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>MIDI file built: %1 bytes</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Rendering: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>No audio output device: nothing can be played here.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The audio output did not start.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Playing the rendering</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Playing the original</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Save DAT file</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Save MIDI file</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Save rendered WAVE</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Save picture</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>MIDI files (*.mid)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>WAVE files (*.wav)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>PNG pictures (*.png)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Saved %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Not saved.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Nothing to save yet.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>; %1, converted to 44100 Hz 16-bit %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>; 16-bit PCM WAVE, read as it is (not converted)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Rendering...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Rendered %1 s</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Open p&amp;art...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>only its first %1 s are open: the analysis takes at most %1 s (File &gt; Open part... for another part)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the part from %1 s to %2 s is open</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Analysis</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>MIDI file</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Rendering cancelled: nothing was kept or written.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Rendering</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>its first %1 s only</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Open part of a recording</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>MIDI port: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Playing to %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Listen</source>
        <translation type="unfinished"></translation>
    </message>
</context>
</TS>
