// Linked into every test program: its presence tells the agent's code that it runs in a test.
extern "C" const int kestrava_test_harness_marker = 1;
