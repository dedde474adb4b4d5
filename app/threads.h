// The bodies of the firmware's threads, each defined in its own subsystem.
// All are started once by main with default attributes and no argument.
#pragma once

void* thread_rtc2system(void*);
void* thread_modem(void*);
void* thread_led(void*);
void* thread_sms_buffer(void*);
void* thread_voice_buffer(void*);
void* thread_check_event(void*);
void* thread_do_handle(void*);
void* thread_counter_handle(void*);
void* thread_auto_report(void*);
void* thread_recv_SMS(void*);
void* thread_UART_CMD(void*);
void* ThreadLog(void*);
void* thread_net(void*);
void* thread_sms_utility(void*);
