// Temporary: replaced by the LED thread when it lands.
#include <unistd.h>

#include "app/led.h"
#include "app/console.h"

std::atomic<int32_t> sta_led_step{1};

void* thread_led(void*) {
  PrintMsg("[thread_led is start]\r\n");
  for (;;) pause();
}
