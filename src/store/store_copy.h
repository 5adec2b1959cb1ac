#pragma once

namespace orvet {

struct StoreLocation;

// Copies the whole configuration store at `from` (which must exist) into a new store at `to`
// (a file that does not exist yet, or an empty server database): every row of every table
// with its keys, so that the copy describes the same USPDs with the same numbers, and each
// key of the copy goes on past the largest copied one. All or nothing: a failure leaves no
// file, or no table on the server. Throws StoreError with the program's text.
void copyStore(const StoreLocation& from, const StoreLocation& to);

}  // namespace orvet
