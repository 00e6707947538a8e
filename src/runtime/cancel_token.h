#pragma once

// The Cancel button's state, shared by every wait. Waits stop when Requested(); the flag is
// cleared when the button is shown or hidden, so a command that must know whether Cancel was
// pressed at any time during it keeps a Mark and asks CancelledSince.
class CancelToken {
public:
    void Request() {
        m_requested = true;
        ++m_requests;
    }
    void Clear() { m_requested = false; }
    bool Requested() const { return m_requested; }
    int Mark() const { return m_requests; }
    bool CancelledSince(int mark) const { return m_requests != mark; }

private:
    bool m_requested = false;
    int m_requests = 0;
};
