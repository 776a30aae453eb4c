#pragma once
// The browser's document: it holds nothing. The browser never reads or writes
// document files of its own; pages live in the views.
//
// Holds nothing; any thread.
class CVelmoraDoc {
public:
    // A new (empty) document can always be made.
    bool OnNewDocument() { return true; }
    // Nothing to store or load.
    template <class TArchive>
    void Serialize(TArchive&) {}
};
