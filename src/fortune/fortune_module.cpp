// Module placeholder; keeps the library non-empty.
