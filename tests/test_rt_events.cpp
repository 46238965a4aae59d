// The stop test over SDL's real event queue: which events stop, which are
// consumed, what stays queued behind a stop, and the injected stop request.
#include "test_rt_util.h"
#include "tools.h"

using rt_test::push_key;
using rt_test::push_quit;
using rt_test::pushed;

class RtEvents : public rt_test::runtime_fixture {};

TEST_F(RtEvents, OtherEventsAreConsumedWithoutEffect) {
    EXPECT_FALSE(are_done(event)) << "empty queue";
    push_key(SDL_KEYUP, SDLK_ESCAPE);  // releasing Escape does nothing
    push_key(SDL_KEYDOWN, SDLK_a);
    push_key(SDL_KEYDOWN, SDLK_SPACE);
    SDL_Event mouse{};
    mouse.type = SDL_MOUSEBUTTONDOWN;
    mouse.button.type = SDL_MOUSEBUTTONDOWN;
    mouse.button.button = SDL_BUTTON_LEFT;
    ASSERT_EQ(SDL_PushEvent(&mouse), pushed);
    EXPECT_FALSE(are_done(event));
    SDL_Event left;
    EXPECT_EQ(SDL_PollEvent(&left), 0) << "every non-stop event is taken off the queue";
}

TEST_F(RtEvents, EscapeDownOrCloseStopsAndLaterEventsStayQueued) {
    push_key(SDL_KEYDOWN, SDLK_a);
    push_key(SDL_KEYDOWN, SDLK_ESCAPE);
    push_key(SDL_KEYDOWN, SDLK_b);
    push_quit();
    push_key(SDL_KEYDOWN, SDLK_c);
    EXPECT_TRUE(are_done(event)) << "Escape key-down";
    EXPECT_TRUE(are_done(event)) << "the close request was still queued behind Escape";
    SDL_Event left;
    ASSERT_EQ(SDL_PollEvent(&left), 1) << "'c' stays queued behind the close request";
    EXPECT_EQ(left.type, SDL_KEYDOWN);
    EXPECT_EQ(left.key.keysym.sym, SDLK_c);
    EXPECT_FALSE(are_done(event));
    EXPECT_EQ(event.type, 0) << "the global record is never written";
}

TEST_F(RtEvents, AnInjectedStopArrivesOnceAtItsTick) {
    clk::set_quit_at(50);
    EXPECT_FALSE(are_done(event));
    clk::advance_to(49);
    EXPECT_FALSE(are_done(event));
    clk::advance_to(50);
    EXPECT_TRUE(are_done(event));
    EXPECT_FALSE(are_done(event)) << "delivered once";
}
