// The frame's global state.
