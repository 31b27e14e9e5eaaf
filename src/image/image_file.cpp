// Replaced by the image-file implementation.
