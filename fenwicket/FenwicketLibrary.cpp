// libFenwicket.so: the styled text view over the text engine.
