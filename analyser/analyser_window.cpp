namespace analyser {}
