#pragma once

// Whether the detector holds configuration changes the user made that are
// not in its flash memory, and so are lost when it loses power.
//
// Only writes that actually went out count, and only those the user caused
// (a control, a lens, a loaded file): the writes that merely echo the
// detector's own state back to it (its noise-reduction flags, its PWM report)
// change nothing it did not already hold. A store counts once the detector's
// configuration has been read back after it.
class UnstoredChanges {
public:
    // A write frame was built and is pending; a rebuild replaces the frame
    // but keeps what the user caused in it, since it is built from all the
    // controls. `store` tells whether this frame carries the store request.
    void WriteBuilt(bool byUser, bool store);
    // The pending frame was thrown away unsent.
    void WriteDiscarded();
    // The pending frame went out to the detector. True when it carried a
    // change of the user's that is not being stored.
    bool WriteSent();
    // The detector's configuration was read back and shown. True when this
    // completes a store that had gone out.
    bool ConfigurationShown();
    // The user chose to leave the changes unstored.
    void Leave();
    // A store's read-back did not show what it was sent: what the user
    // changed counts as unstored again.
    void StoreFailed() { m_unstored = true; }
    // The link went down: a pending frame never goes out, and a store whose
    // read-back did not come cannot be taken as done.
    void ConnectionLost();

    bool Any() const { return m_unstored || m_unstoredSinceStore; }
    bool StoreUnderway() const { return m_storeSent; }

private:
    bool m_pendingByUser = false;
    bool m_pendingStore = false;
    bool m_unstored = false;
    // A store went out and its read-back is awaited; user writes sent in
    // between are not in that store.
    bool m_storeSent = false;
    bool m_unstoredSinceStore = false;
};
