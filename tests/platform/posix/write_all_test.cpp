// Terminal output goes on through interrupted writes (a resize signal while a
// frame or the give-back bytes are being written).
#include <gtest/gtest.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <thread>

#include "platform/posix/write_all.h"

namespace {
void ignoreSignal(int) {}
}  // namespace

TEST(WriteAll, GoesOnAfterInterruptedWrites) {
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    struct sigaction action, previous;
    std::memset(&action, 0, sizeof action);
    action.sa_handler = ignoreSignal;  // no SA_RESTART: blocked writes fail with EINTR
    sigemptyset(&action.sa_mask);
    sigaction(SIGUSR1, &action, &previous);

    const std::string bytes(1 << 20, 'x');
    pthread_t writer = pthread_self();
    std::string received;
    std::thread reader([&] {
        // The pipe fills at once; interrupt the blocked writer a few times
        // before reading anything.
        for (int i = 0; i < 5; ++i) {
            usleep(20000);
            pthread_kill(writer, SIGUSR1);
        }
        char chunk[65536];
        while (received.size() < bytes.size()) {
            ssize_t n = read(fds[0], chunk, sizeof chunk);
            if (n <= 0)
                break;
            received.append(chunk, static_cast<size_t>(n));
        }
    });
    EXPECT_EQ(writeAll(fds[1], bytes.data(), bytes.size()), 1);
    close(fds[1]);  // a writer that gave up must not leave the reader waiting
    reader.join();
    EXPECT_EQ(received.size(), bytes.size());
    sigaction(SIGUSR1, &previous, nullptr);
    close(fds[0]);
}
