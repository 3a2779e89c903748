// Framework stand-in: filled in by the afx work.
