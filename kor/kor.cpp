// Typed arrays: filled in by the kor work.
