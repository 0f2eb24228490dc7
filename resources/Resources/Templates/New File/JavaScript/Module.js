// Untitled module

export function untitled(value) {
	return value;
}

export default untitled;
