#include "piecegate.h"

void PieceGate::Reader::begin()
{
    if (!gate_ || within_)
        return;
    std::unique_lock lock(gate_->mutex_);
    if (gate_->within_ > 0 && gate_->round_.elapsed() >= roundMs)
        gate_->closed_ = true;
    gate_->ended_.wait(lock, [this] { return !gate_->closed_; });
    if (gate_->within_++ == 0)
        gate_->round_.start();
    within_ = true;
}

void PieceGate::Reader::end()
{
    if (!gate_ || !within_)
        return;
    within_ = false;
    std::lock_guard lock(gate_->mutex_);
    if (--gate_->within_ == 0) {
        gate_->closed_ = false;
        gate_->ended_.notify_all();
    }
}
