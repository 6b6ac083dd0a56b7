// What the viewer finds on the page: the library, once loaded, and the
// gallery's script.
import type PhotoSwipeLibrary from 'photoswipe';

declare global {
  var PhotoSwipe: typeof PhotoSwipeLibrary | undefined;
  interface Window {
    vignetorGallery?: { pages?: string; pictures?: import('./data.js').Picture[] };
  }
}

export {};
