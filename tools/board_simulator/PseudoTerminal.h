#pragma once

#include <string>

namespace board {

// A pseudo-terminal in raw mode whose slave is reachable through a symbolic link.
// The simulator keeps a slave descriptor open itself, so the master never reports a
// hang-up while the panel has the port closed.
class PseudoTerminal {
public:
    PseudoTerminal() = default;
    ~PseudoTerminal();
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    // Opens the pair; on failure returns false and sets error.
    bool Open(std::string& error);
    // Links linkPath to the slave, replacing a stale link left by an earlier run.
    bool Link(const std::string& linkPath, std::string& error);
    // Removes the link if it still points to this terminal's slave.
    void Unlink();

    int MasterFd() const { return m_master; }
    const std::string& SlavePath() const { return m_slavePath; }
    const std::string& LinkPath() const { return m_linkPath; }

private:
    int m_master = -1;
    int m_slave = -1;
    std::string m_slavePath;
    std::string m_linkPath;
};

} // namespace board
