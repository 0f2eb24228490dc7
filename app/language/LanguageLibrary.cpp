// The language engine is built as a library of its own so that its tests link
// the same code as the program.
