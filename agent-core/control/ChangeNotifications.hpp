#pragma once

// The agent's two notifications to the application, broadcast on the session bus. Posting never
// blocks; without a session bus nothing happens. Both go out in the order they were posted, so a
// pairing request posted first reaches the application before the change that follows it.
namespace kestrava {

// Status, phones or the pending request changed: the application reads them again.
void postChanged();

// A phone asks to pair and waits for the user's decision.
void postPairingRequest();

} // namespace kestrava
