// The threads whose subsystems have not landed yet (app/thread_placeholders);
// every other thread is declared in its own subsystem's header.
#pragma once

void* thread_net(void*);
