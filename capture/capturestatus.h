#ifndef CAPTURESTATUS_H
#define CAPTURESTATUS_H

// Whether a cast is on; false until the first change.
class CaptureStatus {
public:
    bool getCaptureStatus() const;
    // Logs the value before the change, then flips it.
    void changeStatus();

private:
    bool status = false;
};

#endif // CAPTURESTATUS_H
