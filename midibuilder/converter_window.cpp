namespace midibuilder {}
