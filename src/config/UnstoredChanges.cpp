#include "UnstoredChanges.h"

void UnstoredChanges::WriteBuilt(bool byUser, bool store) {
    m_pendingByUser = m_pendingByUser || byUser;
    m_pendingStore = store;
}

void UnstoredChanges::WriteDiscarded() {
    m_pendingByUser = false;
    m_pendingStore = false;
}

bool UnstoredChanges::WriteSent() {
    const bool userChange = !m_pendingStore && m_pendingByUser;
    if (m_pendingStore) {
        // The frame carries every control as shown, the user's changes
        // included: all of it is being stored.
        m_storeSent = true;
        m_unstoredSinceStore = false;
    } else if (m_pendingByUser) {
        (m_storeSent ? m_unstoredSinceStore : m_unstored) = true;
    }
    WriteDiscarded();
    return userChange;
}

bool UnstoredChanges::ConfigurationShown() {
    if (!m_storeSent)
        return false;
    m_storeSent = false;
    m_unstored = m_unstoredSinceStore;
    m_unstoredSinceStore = false;
    return true;
}

void UnstoredChanges::Leave() {
    m_unstored = false;
    m_unstoredSinceStore = false;
}

void UnstoredChanges::ConnectionLost() {
    WriteDiscarded();
    m_storeSent = false;
    m_unstored = m_unstored || m_unstoredSinceStore;
    m_unstoredSinceStore = false;
}
