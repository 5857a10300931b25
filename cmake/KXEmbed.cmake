# Resource embedding: filled in with the internal files.
