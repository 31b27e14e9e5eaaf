// Replaced by the profile-file implementation.
