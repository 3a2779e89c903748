// Multi-grid files: filled in by the hxf work.
