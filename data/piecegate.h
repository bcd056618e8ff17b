#pragma once
// Reads of ours that walk a table in pieces side by side, kept in rounds so
// that another program can write between them. The file's read lock is held
// for the whole program while any of its connections reads, so readers running
// freely would keep it between them for as long as they all run. Here a round
// lasts while any reader is within a piece; a reader may begin another piece
// within the round only while the round is young, and otherwise waits until
// every reader has ended its piece: the lock is let go there, and a write that
// waits for it goes first. Another program's write waits for one round at most.
#include <QElapsedTimer>
#include <condition_variable>
#include <mutex>

class PieceGate {
public:
    // A round is closed to new pieces once it has lasted this long (ms).
    static constexpr qint64 roundMs = 40;

    // One reader's pieces, from its first (joined) to its last or its failure.
    class Reader {
    public:
        explicit Reader(PieceGate* gate) : gate_(gate) {}
        ~Reader() { end(); }
        Reader(const Reader&) = delete;
        Reader& operator=(const Reader&) = delete;
        // Before a piece reads the table; waits while the round is closed.
        void begin();
        // After the piece.
        void end();

    private:
        PieceGate* gate_;
        bool within_ = false;
    };

private:
    std::mutex mutex_;
    std::condition_variable ended_;
    int within_ = 0; // readers within a piece
    bool closed_ = false;
    QElapsedTimer round_;
};
