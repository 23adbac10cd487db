// Removed once the first numeric sources land.
